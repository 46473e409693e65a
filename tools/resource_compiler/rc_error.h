// An error in a resource script: the file and line it concerns, and what is wrong.
#pragma once

#include <stdexcept>
#include <string>

namespace unfold::rc {

class RcError : public std::runtime_error {
public:
    RcError(std::string file, int line, const std::string& message)
        : std::runtime_error(message), file_(std::move(file)), line_(line) {}
    const std::string& file() const { return file_; }
    int line() const { return line_; }
    // "file:line: error: message"
    std::string describe() const { return file_ + ":" + std::to_string(line_) + ": error: " + what(); }

private:
    std::string file_;
    int line_;
};

} // namespace unfold::rc
