#include "tools/unfold/results_output.h"

#include <cerrno>
#include <cstdio>

#include <unistd.h>

namespace tools::unfold {

ResultsOutput::ResultsOutput() : fd_(dup(STDOUT_FILENO)), buffer_(fd_), stream_(&buffer_) {
    std::fflush(stdout);
    if (fd_ >= 0) dup2(STDERR_FILENO, STDOUT_FILENO);
}

ResultsOutput::~ResultsOutput() {
    std::fflush(stdout);
    if (fd_ >= 0) {
        dup2(fd_, STDOUT_FILENO);
        close(fd_);
    }
}

std::streamsize ResultsOutput::Buffer::xsputn(const char* s, std::streamsize n) {
    std::streamsize left = n;
    while (left > 0) {
        const ssize_t w = ::write(fd_, s, size_t(left));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return n - left;
        s += w, left -= w;
    }
    return n;
}

ResultsOutput::Buffer::int_type ResultsOutput::Buffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

} // namespace tools::unfold
