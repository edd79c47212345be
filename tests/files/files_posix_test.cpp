// Files on POSIX file systems: a FIFO named like a preset, a read-only file, a disk that
// fills up part way, and saving through a symbolic link.
#include <csignal>
#include <sys/resource.h>

#include "FilesTestSupport.h"

using namespace filestest;
using presets::FileResult;

namespace {

using PosixFiles = PresetFilesTest;

TEST_F(PosixFiles, AFifoNamedLikeAPresetIsRefusedWithoutAHang) {
    const Bytes before = snapshot(*effect);
    ASSERT_EQ(::mkfifo(path("pipe.qel").c_str(), 0600), 0);
    EXPECT_EQ(files->loadPresetFromPath(path("pipe.qel")), FileResult::Unreadable);
    EXPECT_EQ(snapshot(*effect), before);
}

TEST_F(PosixFiles, AReadOnlyFileLoads) {
    effect->selectProgram(15);
    const presets::ProgramRecord wanted = effect->programs()[15];
    ASSERT_EQ(files->savePresetToPath(path("ro.qel")), FileResult::Done);
    ASSERT_EQ(::chmod(path("ro.qel").c_str(), 0444), 0);
    effect->selectProgram(16);
    EXPECT_EQ(files->loadPresetFromPath(path("ro.qel")), FileResult::Done);
    EXPECT_TRUE(sameProgram(effect->programs()[16], wanted));
    if (::geteuid() != 0) {
        // Saving over it is refused like opening it for writing, and leaves it as it was.
        EXPECT_EQ(files->savePresetToPath(path("ro.qel")), FileResult::WriteFailed);
    }
}

TEST_F(PosixFiles, AFailedSaveLeavesTheOldFileIntact) {
    effect->selectProgram(4);
    ASSERT_EQ(files->saveBankToPath(path("keep.qeb")), FileResult::Done);
    const Bytes old = readFile(path("keep.qeb"));
    makeDistinct(*effect, 4, 9);

    // A disk that fills up part way: writes beyond 64 KiB fail (the bank takes 124 KiB).
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const FileResult result = files->saveBankToPath(path("keep.qeb"));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(result, FileResult::WriteFailed);
    EXPECT_EQ(readFile(path("keep.qeb")), old);
    EXPECT_EQ(listFolder(root), std::vector<std::string>{"keep.qeb"});  // no temporary file left

    // A folder that is not there.
    EXPECT_EQ(files->savePresetToPath(path("no/such/folder/x.qel")), FileResult::WriteFailed);
    // The same save with room succeeds and replaces it.
    EXPECT_EQ(files->saveBankToPath(path("keep.qeb")), FileResult::Done);
    EXPECT_NE(readFile(path("keep.qeb")), old);
}

TEST_F(PosixFiles, SavingThroughALinkWritesTheFileItNames) {
    ASSERT_EQ(::mkdir(path("real").c_str(), 0700), 0);
    writeFile(path("real/p.qel"), Bytes{1, 2, 3});
    ASSERT_EQ(::symlink(path("real/p.qel").c_str(), path("link.qel").c_str()), 0);
    ASSERT_EQ(files->savePresetToPath(path("link.qel")), FileResult::Done);
    struct stat st {};
    ASSERT_EQ(::lstat(path("link.qel").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(path("real/p.qel")).size(), 2129u);
}

}  // namespace
