// Diagnostics of the platform layer.
//
// - OutputDebugStringW/A write to standard error; a DebugOutputCapture records what is written while
//   it lives, so a test can check the system's debugger lines.
// - TRACE/WARN/FIXME/ERR write platform diagnostics on a channel ("d3d10", "dshow", "com", "win32", ...)
//   switched on by UNFOLD_DEBUG (a comma-separated list of channels, or "all"). A channel that is off
//   costs one branch. ERR is always on: it marks a failure that cannot be returned to a caller.
#pragma once

#include <cstdio>
#include <string>

// mingw-w64's C++ runtime formats as the C standard says (not as msvcrt does): check formats so.
#ifdef __MINGW32__
#define UNFOLD_PRINTF_FORMAT gnu_printf
#else
#define UNFOLD_PRINTF_FORMAT printf
#endif

namespace platform {

class DebugOutputCapture {
public:
    // echo: keep writing to standard error as well.
    explicit DebugOutputCapture(bool echo = false);
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    std::wstring text() const;
    void clear();

private:
    friend void WriteDebugOutput(const std::wstring& text);
    void append(const std::wstring& text);
    DebugOutputCapture* previous_;
    bool echo_;
    struct State;
    State* state_;
};

void WriteDebugOutput(const std::wstring& text);

bool TraceEnabled(const char* channel);
void TraceWrite(const char* level, const char* channel, const char* function, const char* format, ...)
    __attribute__((format(UNFOLD_PRINTF_FORMAT, 4, 5)));

// Text conversions between the system's wide strings and UTF-8. The std::string and std::wstring forms
// convert every character, embedded NULs included. What has no counterpart (invalid UTF-8, a wide
// value that is not a Unicode scalar) becomes U+FFFD; firstInvalid, when given, receives the index in
// the result of the first such replacement, or npos.
std::string ToUtf8(const wchar_t* text);
std::string ToUtf8(const std::wstring& text);
std::wstring ToWide(const char* text);
std::wstring ToWide(const std::string& text, size_t* firstInvalid = nullptr);

} // namespace platform

#define UNFOLD_TRACE_(level, channel, ...)                                                                   \
    do {                                                                                                     \
        static const bool unfold_on_ = ::platform::TraceEnabled(channel);                                    \
        if (unfold_on_) ::platform::TraceWrite(level, channel, __func__, __VA_ARGS__);                       \
    } while (0)
#define TRACE(channel, ...) UNFOLD_TRACE_("trace", channel, __VA_ARGS__)
#define WARN(channel, ...) UNFOLD_TRACE_("warn", channel, __VA_ARGS__)
// An unbuilt path: names the issue that would build it.
#define FIXME(channel, ...) UNFOLD_TRACE_("fixme", channel, __VA_ARGS__)
#define ERR(channel, ...) ::platform::TraceWrite("err", channel, __func__, __VA_ARGS__)
