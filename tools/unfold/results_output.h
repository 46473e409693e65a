// The host's results keep standard output to themselves: the process's standard output (where the
// COM modules print their log lines) is pointed at standard error, and the results go to the original
// standard output through a stream of their own. `unfold stream | ffplay -` relies on it: nothing but
// video reaches the pipe.
#pragma once

#include <ostream>
#include <streambuf>

namespace tools::unfold {

class ResultsOutput {
public:
    ResultsOutput();
    ~ResultsOutput();
    ResultsOutput(const ResultsOutput&) = delete;
    ResultsOutput& operator=(const ResultsOutput&) = delete;

    std::ostream& stream() { return stream_; }
    // The original standard output, for raw bytes (flush stream() first); -1 when it is unavailable.
    int fd() const { return fd_; }

private:
    class Buffer : public std::streambuf {
    public:
        explicit Buffer(int fd) : fd_(fd) {}

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;

    private:
        int fd_;
    };

    int fd_;
    Buffer buffer_;
    std::ostream stream_;
};

} // namespace tools::unfold
