// The one error type of the effect compiler: a message and the source line it concerns.
#pragma once

#include <stdexcept>
#include <string>

namespace unfold::fxc {

class CompileError : public std::runtime_error {
public:
    CompileError(int line, const std::string& message) : std::runtime_error(message), line_(line) {}
    int line() const { return line_; }

private:
    int line_;
};

} // namespace unfold::fxc
