#include "tools/image/atomic_file.h"

#include <csignal>
#include <fstream>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/tools/image/temp_dir.h"
#include "tests/tools/image/test_pictures.h"

namespace tools::image {
namespace {

using testing::FileBytes;
using testing::TempDir;

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

TEST(AtomicFile, TargetChangesOnlyAtCommit) {
    TempDir dir;
    testing::PutFile(dir.file("out"), std::string("old"));
    {
        AtomicFile file;
        ASSERT_TRUE(file.Open(dir.file("out")).ok());
        ASSERT_TRUE(file.Write("new contents", 12).ok());
        ASSERT_TRUE(file.WriteAt(0, "NEW", 3).ok());
        EXPECT_EQ(FileBytes(dir.file("out")), Bytes("old"));
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"out"}) << "the temporary file has no name yet";
        ASSERT_TRUE(file.Commit().ok());
        EXPECT_FALSE(file.isOpen());
    }
    EXPECT_EQ(FileBytes(dir.file("out")), Bytes("NEW contents"));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out"});
}

TEST(AtomicFile, AbandonedOrFailedFilesLeaveNothingBehind) {
    TempDir dir;
    {
        AtomicFile file;
        ASSERT_TRUE(file.Open(dir.file("dropped")).ok());
        ASSERT_TRUE(file.Write("abc", 3).ok());
    } // destroyed without Commit
    AtomicFile discarded;
    ASSERT_TRUE(discarded.Open(dir.file("discarded")).ok());
    discarded.Discard();
    EXPECT_FALSE(discarded.Commit().ok());

    AtomicFile patched;
    ASSERT_TRUE(patched.Open(dir.file("patched")).ok());
    ASSERT_TRUE(patched.Write("abc", 3).ok());
    Status s = patched.WriteAt(2, "xy", 2);
    EXPECT_FALSE(s.ok()) << "a patch may not reach past what was written";
    patched.Discard();

    EXPECT_TRUE(dir.entries().empty());
    EXPECT_FALSE(AtomicFile().Write("a", 1).ok());
    EXPECT_FALSE(AtomicFile().Open("").ok());
}

TEST(AtomicFile, AKilledWriterLeavesNothingAndOldLeftoversAreRemoved) {
    TempDir dir;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFile file;
        if (!file.Open(dir.file("clip.mjpg")).ok() || !file.Write("partial", 7).ok()) _exit(1);
        raise(SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(dir.entries().empty());

    // What a writer of the named kind left when it was killed: removed by the next writer of the file.
    std::string leftover = dir.file("clip.mjpg.tmp." + std::to_string(child) + ".0");
    std::ofstream(leftover) << "partial";
    std::string live = dir.file("clip.mjpg.tmp." + std::to_string(getpid()) + ".99");
    std::ofstream(live) << "being written";
    AtomicFile file;
    ASSERT_TRUE(file.Open(dir.file("clip.mjpg")).ok());
    ASSERT_TRUE(file.Write("whole", 5).ok());
    ASSERT_TRUE(file.Commit().ok());
    EXPECT_EQ(dir.entries(),
              (std::vector<std::string>{"clip.mjpg", "clip.mjpg.tmp." + std::to_string(getpid()) + ".99"}));
}

} // namespace
} // namespace tools::image
