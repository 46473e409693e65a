// The virtual camera across processes: the host's file name, two processes constructing at once,
// and a process killed while it saves the settings.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "tests/build_paths.h"
#include "tests/tools/image/temp_dir.h"
#include "tests/vcam/vcam_fixture.h"

extern char** environ;

namespace vcam_testing {
namespace {

struct Probe {
    pid_t pid = -1;
    int output = -1; // the read end of its standard error
};

Probe StartProbe(const std::string& program, const char* what) {
    Probe p;
    int fds[2];
    if (pipe(fds) != 0) return p;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string name = program;
    char* argv[] = {name.data(), const_cast<char*>(what), nullptr};
    if (posix_spawn(&p.pid, program.c_str(), &actions, nullptr, argv, environ) != 0) p.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    p.output = fds[0];
    return p;
}

// Waits for the probe; answers its exit code (or -signal) and what it wrote.
int Finish(Probe& p, std::string& text) {
    char buffer[256];
    ssize_t n;
    while ((n = read(p.output, buffer, sizeof buffer)) > 0) text.append(buffer, size_t(n));
    close(p.output);
    int status = 0;
    waitpid(p.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

std::string RunProbe(const std::string& program, const char* what) {
    Probe p = StartProbe(program, what);
    std::string text;
    EXPECT_EQ(Finish(p, text), 0) << program << " " << what << ": " << text;
    return text;
}

using ProcessTest = VCamTest;

TEST_F(ProcessTest, InASkypeHostAskingForThePageListLeavesTheReferenceCount) {
    tools::testing::TempDir dir;
    const struct {
        const char* name;
        const char* seen;
    } hosts[] = {{"Skype.EXE", "pages 0\n"},
                 {"skype.exe", "pages 0\n"},
                 {"notskype.exe", "pages 1\n"},
                 {"skype.exe.bin", "pages 1\n"}};
    for (const auto& host : hosts) {
        const std::string copy = dir.file(host.name);
        std::filesystem::copy_file(kVcamProbePath, copy);
        std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
        EXPECT_EQ(RunProbe(copy, "pages"), host.seen) << host.name;
    }
}

TEST_F(ProcessTest, TwoProcessesConstructingAtOnceBothSucceed) {
    Probe a = StartProbe(kVcamProbePath, "construct");
    Probe b = StartProbe(kVcamProbePath, "construct");
    std::string textA, textB;
    EXPECT_EQ(Finish(a, textA), 0) << textA;
    EXPECT_EQ(Finish(b, textB), 0) << textB;
    EXPECT_EQ(textA, "constructed 1\n");
    EXPECT_EQ(textB, "constructed 1\n");
    EXPECT_EQ(ReadSetting(L"UnfoldMode"), 6); // both saved; the file is whole
}

TEST_F(ProcessTest, AProcessKilledWhileSavingLeavesTheRegistryWhole) {
    std::mt19937 random(7);
    for (int round = 0; round < 5; ++round) {
        Probe p = StartProbe(kVcamProbePath, "save-loop");
        // Killed at a random moment after its first save (a slow start, as under the sanitizers,
        // must not kill it before).
        std::string text;
        char c;
        while (text.find("saved\n") == std::string::npos && read(p.output, &c, 1) == 1) text += c;
        Sleep(DWORD(random() % 200));
        kill(p.pid, SIGKILL);
        EXPECT_EQ(Finish(p, text), -SIGKILL) << text;

        std::ifstream file(registry.file("HKEY_CURRENT_USER"));
        std::string first;
        std::getline(file, first);
        EXPECT_EQ(first.substr(0, 36), "Windows Registry Editor Version 5.00") << "round " << round;
        // Each value is the old one or the new one: the view is (k, k), or (k, k - 1) when the kill
        // came between the two values.
        const int64_t h = ReadSetting(L"Horizontal"), v = ReadSetting(L"Vertical");
        ASSERT_GE(h, 1) << "round " << round << ": no save before the kill";
        EXPECT_TRUE(v == h || v == h - 1) << h << " " << v;
        EXPECT_EQ(ReadSetting(L"Width"), 1440);
        EXPECT_EQ(ReadSetting(L"LensDir"), 1);
    }
}

} // namespace
} // namespace vcam_testing
