// The virtual camera logs its life on standard output, as it must; in the test programs each test's
// log goes to a file instead, so the results stay readable, and is shown only when the test failed.
// Linked into each program whose tests make virtual cameras.
#include <cstdio>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

class CapturedLogs : public ::testing::EmptyTestEventListener {
public:
    // After the result printer has shown the test's name: standard output into a file of its own.
    void OnTestStart(const ::testing::TestInfo&) override {
        std::fflush(stdout);
        file_ = std::tmpfile();
        saved_ = file_ ? dup(STDOUT_FILENO) : -1;
        if (saved_ < 0 || dup2(fileno(file_), STDOUT_FILENO) < 0) release();
    }

    // Before the result printer shows the result: standard output back, and the log shown after a
    // failure (with gtest's messages, which went to the same file).
    void OnTestEnd(const ::testing::TestInfo& test) override {
        if (!file_) return;
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        if (test.result()->Failed()) {
            std::rewind(file_);
            char buffer[4096];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;)
                std::fwrite(buffer, 1, n, stdout);
            std::fflush(stdout);
        }
        release();
    }

private:
    void release() {
        if (saved_ >= 0) close(saved_);
        if (file_) std::fclose(file_);
        saved_ = -1;
        file_ = nullptr;
    }

    std::FILE* file_ = nullptr;
    int saved_ = -1;
};

[[maybe_unused]] const bool g_installed = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new CapturedLogs);
    return true;
}();

} // namespace
