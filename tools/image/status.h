// The outcome of an operation on picture files: success, or one line for the user saying what failed
// and on which file.
#pragma once

#include <string>
#include <utility>

namespace tools::image {

class [[nodiscard]] Status {
public:
    Status() = default;
    static Status Ok() { return Status(); }
    static Status Error(std::string message) {
        Status s;
        s.message_ = message.empty() ? std::string("unknown error") : std::move(message);
        return s;
    }

    bool ok() const { return message_.empty(); }
    explicit operator bool() const { return ok(); }
    // Empty on success.
    const std::string& message() const { return message_; }

private:
    std::string message_;
};

} // namespace tools::image
