// File dialogs: command lines, output parsing, the child process, and the non-blocking
// run that ends in a callback from idle while input is dropped.
#include <dirent.h>
#include <signal.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "GuiTest.h"
#include "posix/ChildProcess.h"
#include "posix/ProcessDialogRunner.h"

using namespace guitest;

namespace {

const std::string kFake = std::string(GUI_TEST_DIR) + "/fake_dialog.sh";
// One file per test: ctest runs tests in parallel processes.
std::string argsFile() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(GUI_OUTPUT_DIR) + "/args_" + info->test_suite_name() + "_" + info->name() + ".txt";
}

FileDialogRequest saveRequest() {
    FileDialogRequest r;
    r.style = FileDialogRequest::kSelectSaveFile;
    r.title = "Save preset";
    r.initialDirectory = "/home/me/My Presets";
    r.defaultSaveName = "Dark Echo";
    r.defaultExtension = "qel";
    r.extensions.emplace_back("Preset file", "qel");
    return r;
}

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(FileDialogArguments, ZenitySaveAndOpen) {
    EXPECT_EQ(filedialog::zenityArguments(saveRequest()),
              (std::vector<std::string>{"--file-selection", "--save", "--confirm-overwrite", "--title=Save preset",
                                        "--filename=/home/me/My Presets/Dark Echo.qel",
                                        "--file-filter=Preset file (*.qel) | *.qel"}));
    FileDialogRequest open;
    open.title = "Load bank (endian-reversed)";
    open.initialDirectory = "/tmp/";
    open.extensions.emplace_back("Bank file", "qeb");
    open.extensions.emplace_back("MIDI settings", "qem");
    EXPECT_EQ(filedialog::zenityArguments(open),
              (std::vector<std::string>{"--file-selection", "--title=Load bank (endian-reversed)", "--filename=/tmp/",
                                        "--file-filter=Bank file (*.qeb) | *.qeb",
                                        "--file-filter=MIDI settings (*.qem) | *.qem"}));
}

TEST(FileDialogArguments, KdialogAndTheDefaultName) {
    EXPECT_EQ(filedialog::kdialogArguments(saveRequest()),
              (std::vector<std::string>{"--getsavefilename", "--title", "Save preset",
                                        "/home/me/My Presets/Dark Echo.qel", "Preset file (*.qel)"}));
    FileDialogRequest r = saveRequest();
    r.defaultSaveName = "bank.old";  // has an extension already
    EXPECT_EQ(filedialog::initialPath(r), "/home/me/My Presets/bank.old");
    r.initialDirectory.clear();
    r.defaultSaveName.clear();
    EXPECT_EQ(filedialog::initialPath(r), "");
    r.style = FileDialogRequest::kSelectFile;
    EXPECT_EQ(filedialog::kdialogArguments(r)[0], "--getopenfilename");
    EXPECT_EQ(filedialog::kdialogArguments(r)[3], ".");
}

TEST(FileDialogOutput, OneAbsolutePathWithStatusZero) {
    std::string path;
    EXPECT_TRUE(filedialog::parseOutput("/tmp/a b.qel\n", 0, path));
    EXPECT_EQ(path, "/tmp/a b.qel");
    EXPECT_TRUE(filedialog::parseOutput("/tmp/x.qel", 0, path));
    EXPECT_EQ(path, "/tmp/x.qel");
    EXPECT_FALSE(filedialog::parseOutput("", 0, path));
    EXPECT_FALSE(filedialog::parseOutput("\n", 0, path));
    EXPECT_FALSE(filedialog::parseOutput("relative.qel\n", 0, path));
    EXPECT_FALSE(filedialog::parseOutput("/tmp/x.qel\n", 1, path));
    EXPECT_FALSE(filedialog::parseOutput("/tmp/x.qel\n/tmp/y.qel\n", 0, path));
}

TEST(ChildProcessTest, CapturesOutputPassesArgumentsAndDropsLdLibraryPath) {
    setenv("FAKE_DIALOG_ARGS", argsFile().c_str(), 1);
    setenv("FAKE_DIALOG_MODE", "env", 1);
    setenv("LD_LIBRARY_PATH", "/opt/host/lib", 1);
    posix::ChildProcess p;
    ASSERT_TRUE(p.start(kFake, {"--title=Two words", "x"}));
    EXPECT_TRUE(p.wait(5000));
    EXPECT_EQ(p.exitStatus(), 0);
    EXPECT_EQ(p.output(), "unset\n");
    EXPECT_EQ(readLines(argsFile()), (std::vector<std::string>{"--title=Two words", "x"}));
    unsetenv("LD_LIBRARY_PATH");
    unsetenv("FAKE_DIALOG_MODE");
    unsetenv("FAKE_DIALOG_ARGS");

    posix::ChildProcess missing;
    EXPECT_FALSE(missing.start("/nonexistent/zenity", {}));
}

TEST(ChildProcessTest, KillEndsAndReapsAHangingChild) {
    setenv("FAKE_DIALOG_MODE", "slow", 1);
    posix::ChildProcess p;
    ASSERT_TRUE(p.start(kFake, {}));
    pid_t pid = p.getPid();
    EXPECT_FALSE(p.poll());
    p.kill();
    EXPECT_TRUE(p.hasFinished());
    EXPECT_NE(::kill(pid, 0), 0);   // gone and reaped
    // What it started (its `sleep`) got the signal too: no live member of the group is left
    // (a zombie waits for its new parent, which is not ours to reap).
    auto liveMembers = [pid] {
        int live = 0;
        DIR* proc = opendir("/proc");
        while (dirent* e = proc ? readdir(proc) : nullptr) {
            std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
            std::string line;
            if (!std::getline(stat, line)) continue;
            size_t close = line.rfind(')');
            if (close == std::string::npos) continue;
            std::istringstream rest(line.substr(close + 2));
            char state = 0;
            long ppid = 0, pgrp = 0;
            rest >> state >> ppid >> pgrp;
            if (pgrp == pid && state != 'Z' && state != 'X') ++live;
        }
        if (proc) closedir(proc);
        return live;
    };
    int live = 1;
    for (int i = 0; i < 100 && live; ++i) {
        live = liveMembers();
        if (live) usleep(10000);
    }
    EXPECT_EQ(live, 0);
    unsetenv("FAKE_DIALOG_MODE");
}

// The desktop's dialogs, as the X11 backend installs them.
class FileSelector : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        CNewFileSelector::setDefaultRunner(posix::processDialogRunner());
    }
    void TearDown() override {
        CNewFileSelector::setDefaultRunner(nullptr);
        FrameTest::TearDown();
    }
};

TEST_F(FileSelector, RunCompletesFromIdleAndDropsInputMeanwhile) {
    setenv("VANTEL_FILE_DIALOG", kFake.c_str(), 1);
    setenv("FAKE_DIALOG_ARGS", argsFile().c_str(), 1);
    setenv("FAKE_DIALOG_PATH", "/tmp/My Bank.qeb", 1);
    auto* p = add(new Probe(CRect(0, 0, 100, 100), "p", log));
    (void)p;
    CNewFileSelector* selector = CNewFileSelector::create(frame, CNewFileSelector::kSelectFile);
    selector->setTitle("Load bank");
    selector->addFileExtension(CFileExtension("Bank file", "qeb"));
    std::vector<std::string> results;
    ASSERT_TRUE(selector->run([&](CNewFileSelector* s) {
        results.push_back(s->getNumSelectedFiles() ? s->getSelectedFile(0) : "none");
    }));
    selector->forget();  // the pending dialog keeps it alive
    EXPECT_TRUE(frame->isInputBlocked());
    screen->click(10, 10);
    EXPECT_TRUE(log.lines.empty());
    for (int i = 0; i < 500 && results.empty(); ++i) {
        usleep(10000);
        frame->idle();
    }
    EXPECT_EQ(results, (std::vector<std::string>{"/tmp/My Bank.qeb"}));
    EXPECT_FALSE(frame->isInputBlocked());
    EXPECT_EQ(readLines(argsFile()), (std::vector<std::string>{"--file-selection", "--title=Load bank",
                                                              "--file-filter=Bank file (*.qeb) | *.qeb"}));
    screen->click(10, 10);
    EXPECT_EQ(log.count("p down"), 1u);
    unsetenv("FAKE_DIALOG_PATH");
    unsetenv("FAKE_DIALOG_ARGS");
    unsetenv("VANTEL_FILE_DIALOG");
}

TEST_F(FileSelector, CancelledDialogDeliversNoFileAndModalRunWaits) {
    setenv("VANTEL_FILE_DIALOG", kFake.c_str(), 1);
    setenv("FAKE_DIALOG_MODE", "cancel", 1);
    CNewFileSelector* selector = CNewFileSelector::create(frame, CNewFileSelector::kSelectSaveFile);
    EXPECT_FALSE(selector->runModal());
    EXPECT_EQ(selector->getNumSelectedFiles(), 0);
    unsetenv("FAKE_DIALOG_MODE");
    EXPECT_TRUE(selector->runModal());
    EXPECT_STREQ(selector->getSelectedFile(0), "/tmp/chosen preset.qel");
    EXPECT_EQ(selector->getSelectedFile(1), nullptr);
    selector->forget();
    unsetenv("VANTEL_FILE_DIALOG");
}

TEST_F(FileSelector, ClosingTheFrameKillsThePendingDialogAndDropsTheCallback) {
    setenv("VANTEL_FILE_DIALOG", kFake.c_str(), 1);
    setenv("FAKE_DIALOG_MODE", "slow", 1);
    bool called = false;
    CNewFileSelector* selector = CNewFileSelector::create(frame, CNewFileSelector::kSelectFile);
    ASSERT_TRUE(selector->run([&](CNewFileSelector*) { called = true; }));
    EXPECT_FALSE(selector->run([&](CNewFileSelector*) { called = true; }));  // one dialog at a time
    selector->forget();
    frame->idle();
    frame->close();
    frame = nullptr;
    EXPECT_FALSE(called);
    unsetenv("FAKE_DIALOG_MODE");
    unsetenv("VANTEL_FILE_DIALOG");
}

namespace {
struct ScriptedRunner : IFileDialogRunner {
    struct Job : IFileDialogJob {
        std::vector<std::string> files;
        int polls = 0;
        bool poll(std::vector<std::string>& out) override {
            if (++polls < 3) return false;
            out = files;
            return true;
        }
        void cancel() override {}
    };
    FileDialogRequest last;
    IFileDialogJob* start(const FileDialogRequest& r) override {
        last = r;
        auto* job = new Job;
        job->files = {"/x/y.qem"};
        return job;
    }
};
}  // namespace

TEST_F(FileSelector, RunnerSeamReceivesTheWholeRequest) {
    ScriptedRunner runner;
    CNewFileSelector::setRunner(&runner);
    CNewFileSelector* selector = CNewFileSelector::create(frame, CNewFileSelector::kSelectSaveFile);
    selector->setTitle("Save MIDI settings");
    selector->setInitialDirectory("/x");
    selector->setDefaultSaveName("midi");
    selector->setDefaultExtension(CFileExtension("MIDI settings", "qem"));
    std::string got;
    ASSERT_TRUE(selector->run([&](CNewFileSelector* s) { got = s->getSelectedFile(0); }));
    selector->forget();
    frame->idle();
    frame->idle();
    EXPECT_TRUE(got.empty());
    frame->idle();
    EXPECT_EQ(got, "/x/y.qem");
    EXPECT_EQ(runner.last.style, FileDialogRequest::kSelectSaveFile);
    EXPECT_EQ(filedialog::initialPath(runner.last), "/x/midi.qem");
    CNewFileSelector::setRunner(nullptr);
}
