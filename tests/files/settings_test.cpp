// The per-user settings: the store's files and their atomic replacement, start-up from
// stored defaults with several instances in one process and in several processes, memos,
// recent paths, keyboard focus, the manual, and folders that cannot be written.
#include <atomic>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>

#include "../../src/platform/OpenDocument.h"
#include "../../src/platform/SettingsStore.h"
#include "../../src/platform/Ticks.h"
#include "FilesTestSupport.h"

using namespace filestest;

namespace {

std::string textOf(const Bytes& b) { return std::string(b.begin(), b.end()); }

// Runs `body` in a child process and returns its exit status (0 when body returned true).
template <typename F>
int inChild(F body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body() ? 0 : 1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

class Settings : public TempFolderTest {
protected:
    // A new instance as the host makes it: the effect, then its stored defaults.
    std::unique_ptr<QEL> startInstance() {
        auto fx = newEffect();
        presets::PresetCommands(*fx).applyStoredDefaults();
        return fx;
    }
    platform::SettingsStore store;
};

TEST_F(Settings, TheFolderFollowsXdgConfigHome) {
    EXPECT_EQ(platform::defaultSettingsFolder(), root + "config/Morvane/Vantel/");
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "relative/path", 1);  // not absolute: ignored
    EXPECT_EQ(platform::defaultSettingsFolder(), "/home/someone/.config/Morvane/Vantel/");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(platform::defaultSettingsFolder(), "/home/someone/.config/Morvane/Vantel/");
    ::setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(Settings, ValuesAreFilesAndTextValuesArePlainText) {
    EXPECT_FALSE(exists(settingsFolder()));  // nothing is created by reading
    std::vector<uint8_t> out{9};
    EXPECT_FALSE(store.readBinary("MemoA", out));
    EXPECT_TRUE(out.empty());
    std::string text = "x";
    EXPECT_FALSE(store.readString("CurrDir", text, 256));
    EXPECT_EQ(text, "");

    const Bytes blob{0, 1, 2, 0xff, '\n'};
    ASSERT_TRUE(store.writeBinary("MemoA", blob.data(), blob.size()));
    EXPECT_EQ(readFile(settingsFolder() + "MemoA"), blob);
    ASSERT_TRUE(store.readBinary("MemoA", out));
    EXPECT_EQ(out, blob);

    ASSERT_TRUE(store.writeString("CurrDir", "/home/me/sets/"));
    EXPECT_EQ(textOf(readFile(settingsFolder() + "CurrDir")), "/home/me/sets/\n");
    ASSERT_TRUE(store.writeNumber("KeyboardFocus", 1));
    EXPECT_EQ(textOf(readFile(settingsFolder() + "KeyboardFocus")), "1\n");

    // What a person writes by hand reads back: with or without a newline, CRLF, hex.
    const struct {
        const char* content;
        bool ok;
        uint32_t value;
    } numbers[] = {{"7", true, 7},          {" 42 \n", true, 42},  {"0x10\r\n", true, 16},
                   {"4294967295", true, 0xffffffffu}, {"4294967296", false, 0}, {"-1", false, 0},
                   {"yes", false, 0},       {"", false, 0},        {"1 2", false, 0}};
    for (const auto& n : numbers) {
        writeFile(settingsFolder() + "KeyboardFocus", Bytes(n.content, n.content + std::strlen(n.content)));
        uint32_t value = 0;
        EXPECT_EQ(store.readNumber("KeyboardFocus", value), n.ok) << n.content;
        if (n.ok) {
            EXPECT_EQ(value, n.value) << n.content;
        }
    }
    writeFile(settingsFolder() + "ManualPath", Bytes{'/', 'm', '.', 'p', 'd', 'f', '\r', '\n'});
    ASSERT_TRUE(store.readString("ManualPath", text, 4096));
    EXPECT_EQ(text, "/m.pdf");

    // Limits: a string one byte over is refused, a binary value over the limit too.
    ASSERT_TRUE(store.writeString("CurrBank", std::string(257, 'b')));
    EXPECT_FALSE(store.readString("CurrBank", text, 256));
    EXPECT_TRUE(store.readString("CurrBank", text, 257));
    writeFile(settingsFolder() + "DefaultBank", Bytes(platform::kMaxSettingsValueSize + 1, 1));
    EXPECT_FALSE(store.readBinary("DefaultBank", out));
    EXPECT_TRUE(out.empty());

    // Deleting: gone, and deleting what is not there is no failure.
    EXPECT_TRUE(store.remove("MemoA"));
    EXPECT_FALSE(exists(settingsFolder() + "MemoA"));
    EXPECT_TRUE(store.remove("MemoA"));
    // Only our own names: nothing outside the folder is reachable.
    EXPECT_FALSE(store.writeString("../escape", "x"));
    EXPECT_FALSE(store.writeString(".hidden", "x"));
    EXPECT_FALSE(exists(root + "config/Morvane/escape"));
    // No temporary file is left behind by any of it.
    for (const std::string& name : listFolder(settingsFolder())) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

TEST_F(Settings, ADefaultPresetStartsTheNextInstanceUntilDeleted) {
    auto factory = newEffect();  // before anything is stored: the factory bank
    auto first = newEffect();
    presets::PresetCommands commands(*first);
    first->selectProgram(1);
    const presets::ProgramRecord pingPong = first->programs()[1];
    ASSERT_TRUE(commands.storeDefaultPreset());
    EXPECT_EQ(readFile(settingsFolder() + "DefaultPreset").size(), 2129u);

    auto second = startInstance();
    EXPECT_EQ(second->getCurrentProgramIndex(), 0);
    EXPECT_TRUE(sameProgram(second->programs()[0], pingPong));
    EXPECT_EQ(second->getParameter(3), pingPong.values[3]);  // program 0 is in force
    for (int p = 1; p < 61; ++p) ASSERT_TRUE(sameProgram(second->programs()[p], factory->programs()[p])) << p;

    // Over a stored default bank, the preset replaces only program 0.
    makeDistinct(*first, 0, 11);
    makeDistinct(*first, 30, 12);
    ASSERT_TRUE(commands.storeDefaultBank());
    auto third = startInstance();
    EXPECT_TRUE(sameProgram(third->programs()[0], pingPong));
    EXPECT_TRUE(sameProgram(third->programs()[30], first->programs()[30]));

    ASSERT_TRUE(commands.deleteDefaultPreset());
    auto fourth = startInstance();
    EXPECT_TRUE(sameProgram(fourth->programs()[0], first->programs()[0]));  // the bank's program 0
    ASSERT_TRUE(commands.deleteDefaultBank());
    auto fifth = startInstance();
    EXPECT_EQ(snapshot(*fifth), snapshot(*factory));
}

TEST_F(Settings, DefaultsTravelBetweenProcesses) {
    // A child stores a default preset and MIDI settings; this process starts from them.
    ASSERT_EQ(inChild([] {
                  auto fx = newEffect();
                  presets::PresetCommands commands(*fx);
                  fx->selectProgram(1);
                  fx->setParameter(60 + 8, assignmentOf(7));
                  return commands.storeDefaultPreset() && commands.storeDefaultMidi();
              }),
              0);
    auto here = startInstance();
    auto factory = newEffect();
    EXPECT_TRUE(sameProgram(here->programs()[0], factory->programs()[1]));
    EXPECT_EQ(here->getAssignedController(8), 7);

    // And back: what this process deletes, a child no longer finds.
    presets::PresetCommands commands(*here);
    ASSERT_TRUE(commands.deleteDefaultPreset());
    EXPECT_EQ(inChild([] {
                  auto fx = newEffect();
                  presets::PresetCommands(*fx).applyStoredDefaults();
                  auto factory = newEffect();
                  return sameProgram(fx->programs()[0], factory->programs()[0]) && fx->getAssignedController(8) == 7;
              }),
              0);
}

TEST_F(Settings, MemoAIsSharedByInstances) {
    auto a = newEffect();
    auto b = newEffect();
    presets::PresetCommands ca(*a), cb(*b);
    EXPECT_FALSE(cb.recallMemoA());  // nothing stored yet: nothing happens
    a->selectProgram(22);
    makeDistinct(*a, 22, 4);
    a->selectProgram(22);
    ASSERT_TRUE(ca.storeMemoA());
    a->selectProgram(23);
    ASSERT_TRUE(ca.storeMemoB());

    b->selectProgram(3);
    const Bytes before = snapshot(*b);
    ASSERT_TRUE(cb.recallMemoA());
    EXPECT_EQ(b->getCurrentProgramIndex(), 3);
    EXPECT_TRUE(sameProgram(b->programs()[3], a->programs()[22]));
    ASSERT_TRUE(cb.recallMemoB());
    EXPECT_TRUE(sameProgram(b->programs()[3], a->programs()[23]));
    const Bytes after = snapshot(*b);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 3 * 264, after.begin()));

    // In another process as well.
    EXPECT_EQ(inChild([&] {
                  auto c = newEffect();
                  presets::PresetCommands cc(*c);
                  c->selectProgram(50);
                  return cc.recallMemoA() && sameProgram(c->programs()[50], a->programs()[22]);
              }),
              0);
}

TEST_F(Settings, CorruptStoredDefaultsAreIgnored) {
    auto factory = newEffect();
    const Bytes factoryState = snapshot(*factory);
    ASSERT_TRUE(platform::makeFolders(settingsFolder()));
    const Bytes bank = presets::PresetCodec(*factory).buildBankBlock();
    const Bytes preset = presets::PresetCodec(*factory).buildPresetBlock();
    Bytes outOfRange = preset;
    const float bad = -0.25f;
    std::memcpy(&outOfRange[41 + 168 + 24], &bad, 4);

    const struct {
        const char* name;
        Bytes value;
    } cases[] = {
        {"DefaultBank", Bytes{'1', '4', 'q'}},  // 3 bytes
        {"DefaultBank", Bytes(bank.begin(), bank.end() - 100)},
        {"DefaultBank", preset},  // a preset where a bank belongs
        {"DefaultPreset", outOfRange},
        {"DefaultPreset", Bytes(5, 0xff)},
        {"DefaultMidi", Bytes(bank.begin(), bank.begin() + 41)},
    };
    for (const auto& c : cases) {
        writeFile(settingsFolder() + c.name, c.value);
        auto fx = startInstance();
        EXPECT_EQ(snapshot(*fx), factoryState) << c.name << " of " << c.value.size() << " bytes";
        ::unlink((settingsFolder() + c.name).c_str());
    }
}

TEST_F(Settings, StoredValuesOfEitherByteOrderAreRead) {
    auto source = newEffect();
    source->selectProgram(1);
    makeDistinct(*source, 1, 8);
    source->selectProgram(1);
    ASSERT_TRUE(platform::makeFolders(settingsFolder()));
    writeFile(settingsFolder() + "DefaultPreset", reversedBlock(presets::PresetCodec(*source).buildPresetBlock()));
    auto fx = startInstance();
    EXPECT_TRUE(sameProgram(fx->programs()[0], source->programs()[1]));

    // A stored bank selects its own current program; start-up then makes program 0 current.
    source->selectProgram(7);
    writeFile(settingsFolder() + "DefaultBank", reversedBlock(presets::PresetCodec(*source).buildBankBlock()));
    ::unlink((settingsFolder() + "DefaultPreset").c_str());
    auto other = newEffect();
    presets::PresetCommands commands(*other);
    ASSERT_TRUE(commands.loadDefaultBank());
    EXPECT_EQ(other->getCurrentProgramIndex(), 7);
    commands.applyStoredDefaults();
    EXPECT_EQ(other->getCurrentProgramIndex(), 0);
    EXPECT_TRUE(sameProgram(other->programs()[1], source->programs()[1]));
}

TEST_F(Settings, RecentPathsAndKeyboardFocusPersist) {
    auto fx = newEffect();
    {
        presets::PresetCommands commands(*fx);
        EXPECT_FALSE(commands.keyboardFocus());  // nothing stored: off
        commands.recentPaths() = {"/data/sets/", "lead.qel", "live.qeb", ""};
        ASSERT_TRUE(commands.saveRecentPaths());
        ASSERT_TRUE(commands.setKeyboardFocus(true));
    }
    EXPECT_EQ(textOf(readFile(settingsFolder() + "CurrDir")), "/data/sets/\n");
    EXPECT_EQ(textOf(readFile(settingsFolder() + "CurrMidi")), "\n");

    // Stored paths untouched are not written again.
    struct stat st {};
    ASSERT_EQ(::stat((settingsFolder() + "CurrDir").c_str(), &st), 0);
    const ino_t inode = st.st_ino;
    {
        presets::PresetCommands same(*fx);
        same.loadRecentPaths();
        ASSERT_TRUE(same.saveRecentPaths());
    }
    ASSERT_EQ(::stat((settingsFolder() + "CurrDir").c_str(), &st), 0);
    EXPECT_EQ(st.st_ino, inode);

    presets::PresetCommands next(*fx);
    EXPECT_EQ(next.recentPaths().directory.back(), '/');  // the working folder before loading
    next.loadRecentPaths();
    EXPECT_EQ(next.recentPaths().directory, "/data/sets/");
    EXPECT_EQ(next.recentPaths().preset, "lead.qel");
    EXPECT_EQ(next.recentPaths().bank, "live.qeb");
    EXPECT_EQ(next.recentPaths().midi, "");
    EXPECT_TRUE(next.keyboardFocus());

    // A value set by hand too long for its buffer, or missing, reads as empty.
    writeFile(settingsFolder() + "CurrBank", Bytes(300, 'x'));
    ::unlink((settingsFolder() + "CurrDir").c_str());
    writeFile(settingsFolder() + "KeyboardFocus", Bytes{'2'});
    next.loadRecentPaths();
    EXPECT_EQ(next.recentPaths().bank, "");
    EXPECT_EQ(next.recentPaths().directory, "");
    // With no folder stored, the dialog starts in its own default folder.
    ScriptedSelector selector;
    next.setFileSelector(&selector);
    next.loadBankFile();
    ASSERT_EQ(selector.requests.size(), 1u);
    EXPECT_EQ(selector.requests[0].initialDirectory, "");
    EXPECT_TRUE(next.keyboardFocus());  // any non-zero value
    ASSERT_TRUE(next.setKeyboardFocus(false));
    EXPECT_EQ(textOf(readFile(settingsFolder() + "KeyboardFocus")), "0\n");
    EXPECT_FALSE(next.keyboardFocus());
}

TEST_F(Settings, ConcurrentWritersNeverLeaveATornValue) {
    // Values of different sizes, each filled with its own byte.
    std::vector<Bytes> values;
    for (int w = 0; w < 4; ++w) values.emplace_back(20000 + 7919 * w, static_cast<uint8_t>('a' + w));
    auto isWhole = [&values](const Bytes& b) {
        for (const Bytes& v : values)
            if (b == v) return true;
        return false;
    };
    ASSERT_TRUE(store.writeBinary("MemoA", values[0].data(), values[0].size()));

    // Threads: four writers, one reader.
    std::atomic<bool> torn{false}, failed{false};
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w)
        writers.emplace_back([&, w] {
            for (int i = 0; i < 60; ++i)
                if (!store.writeBinary("MemoA", values[w].data(), values[w].size())) failed = true;
        });
    std::atomic<bool> done{false};
    std::thread reader([&] {
        Bytes b;
        while (!done)
            if (!store.readBinary("MemoA", b) || !isWhole(b)) torn = true;
    });
    for (auto& t : writers) t.join();
    done = true;
    reader.join();
    EXPECT_FALSE(failed);
    EXPECT_FALSE(torn);

    // Processes: three children write while this one reads.
    std::vector<pid_t> children;
    for (int w = 1; w < 4; ++w) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < 60; ++i) ok = store.writeBinary("MemoA", values[w].data(), values[w].size()) && ok;
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    int reads = 0;
    for (;;) {
        Bytes b;
        if (!store.readBinary("MemoA", b) || !isWhole(b)) torn = true;
        ++reads;
        bool running = false;
        for (pid_t pid : children) running = running || ::waitpid(pid, nullptr, WNOHANG) == 0;
        if (!running) break;
    }
    for (pid_t pid : children) ::waitpid(pid, nullptr, 0);
    EXPECT_FALSE(torn) << reads << " reads";
    Bytes last;
    ASSERT_TRUE(store.readBinary("MemoA", last));
    EXPECT_TRUE(isWhole(last));
    EXPECT_EQ(listFolder(settingsFolder()), std::vector<std::string>{"MemoA"});
}

TEST_F(Settings, AnUnwritableFolderChangesNothingAndCrashesNothing) {
    // The settings home is a plain file: no folder can be made below it, even by root.
    writeFile(root + "config", Bytes{'x'});
    auto fx = newEffect();
    presets::PresetCommands commands(*fx);
    fx->selectProgram(5);
    const Bytes before = snapshot(*fx);
    EXPECT_FALSE(commands.storeDefaultBank());
    EXPECT_FALSE(commands.storeDefaultPreset());
    EXPECT_FALSE(commands.storeMemoA());
    EXPECT_FALSE(commands.saveRecentPaths());
    EXPECT_FALSE(commands.setKeyboardFocus(true));
    EXPECT_FALSE(commands.recallMemoA());
    EXPECT_FALSE(commands.keyboardFocus());
    EXPECT_TRUE(commands.deleteDefaultPreset());  // nothing there to delete
    commands.applyStoredDefaults();
    fx->selectProgram(5);
    EXPECT_EQ(snapshot(*fx), before);
    EXPECT_EQ(textOf(readFile(root + "config")), "x");

    if (::geteuid() != 0) {
        // A real folder without write permission keeps the value it holds.
        ::unlink((root + "config").c_str());
        ASSERT_TRUE(commands.storeMemoA());
        const Bytes kept = readFile(settingsFolder() + "MemoA");
        ASSERT_EQ(::chmod(settingsFolder().c_str(), 0500), 0);
        fx->selectProgram(6);
        EXPECT_FALSE(commands.storeMemoA());
        ::chmod(settingsFolder().c_str(), 0700);
        EXPECT_EQ(readFile(settingsFolder() + "MemoA"), kept);
    }
}

TEST_F(Settings, TheManualOpensWithTheDesktopOrSaysWhyNot) {
    // A stand-in opener in a private PATH records the argument it was given and answers
    // with the exit status that the document's name asks for (xdg-open: 3 = no tool).
    const std::string bin = root + "bin/";
    ASSERT_EQ(::mkdir(bin.c_str(), 0700), 0);
    const std::string record = root + "opened";
    const std::string script = "#!/bin/sh\nprintf '%s' \"$1\" > '" + record + "'\ncase \"$1\" in *notool*) exit 3;; *broken*) exit 4;; esac\n";
    writeFile(bin + "xdg-open", Bytes(script.begin(), script.end()));
    ASSERT_EQ(::chmod((bin + "xdg-open").c_str(), 0700), 0);
    const char* pathVariable = std::getenv("PATH");
    const std::string savedPath = pathVariable ? pathVariable : "";
    auto outcome = [](const std::string& document) {
        platform::DocumentOpening opening(document);
        for (int i = 0; i < 500; ++i, ::usleep(10000))
            if (auto result = opening.poll()) return presets::PresetCommands::manualMessage(*result);
        return presets::ManualMessage{true, "timed out", ""};
    };
    const std::string manual = root + "My \"manual\" $HOME.pdf";
    for (const char* name : {"My \"manual\" $HOME.pdf", "notool.pdf", "broken.pdf"}) writeFile(root + name, Bytes{'%'});

    ::setenv("PATH", bin.c_str(), 1);
    EXPECT_FALSE(outcome(manual).show);
    EXPECT_EQ(textOf(readFile(record)), manual);  // one argument, untouched by any shell
    const presets::ManualMessage noTool = outcome(root + "notool.pdf");
    EXPECT_EQ(noTool.text, "Make sure Acrobat Reader is installed");
    EXPECT_EQ(noTool.caption, "Could not open manual file");
    EXPECT_EQ(outcome(root + "broken.pdf").text, "Could not open user manual");
    // A document that is not there, or no path stored: the opener is not even started.
    ::unlink(record.c_str());
    EXPECT_EQ(outcome(root + "gone.pdf").text, "Could not open user manual");
    EXPECT_EQ(outcome("").caption, "");
    EXPECT_FALSE(exists(record));
    // No opener installed at all: nothing on this system opens documents.
    ::setenv("PATH", (root + "empty").c_str(), 1);
    EXPECT_EQ(outcome(manual).caption, "Could not open manual file");
    ::setenv("PATH", savedPath.c_str(), 1);

    // The path comes from the user's settings, up to its limit.
    auto fx = newEffect();
    presets::PresetCommands commands(*fx);
    EXPECT_EQ(commands.manualPath(), "");
    ASSERT_TRUE(commands.settingsStore().writeString("ManualPath", manual));
    EXPECT_EQ(commands.manualPath(), manual);
    ASSERT_TRUE(commands.settingsStore().writeString("ManualPath", std::string(presets::kMaxManualPath + 1, 'x')));
    EXPECT_EQ(commands.manualPath(), "");
}

TEST(Ticks, MillisecondsThatOnlyGoForward) {
    const uint32_t a = platform::tickCount();
    ::usleep(30000);
    const uint32_t b = platform::tickCount();
    EXPECT_GE(static_cast<uint32_t>(b - a), 30u);
    EXPECT_LT(static_cast<uint32_t>(b - a), 2000u);
}

}  // namespace
