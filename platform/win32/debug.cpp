#include "platform/win32/debug.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>

#include <windows.h>

namespace platform {
namespace {

std::mutex& outputMutex() {
    static std::mutex m;
    return m;
}

DebugOutputCapture*& currentCapture() {
    static DebugOutputCapture* top = nullptr;
    return top;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

struct DebugOutputCapture::State {
    mutable std::mutex mutex;
    std::wstring text;
};

DebugOutputCapture::DebugOutputCapture(bool echo) : echo_(echo), state_(new State) {
    std::lock_guard lock(outputMutex());
    previous_ = currentCapture();
    currentCapture() = this;
}

DebugOutputCapture::~DebugOutputCapture() {
    {
        std::lock_guard lock(outputMutex());
        // Captures nest; unlink this one wherever it sits.
        DebugOutputCapture** link = &currentCapture();
        while (*link && *link != this) link = &(*link)->previous_;
        if (*link) *link = previous_;
    }
    delete state_;
}

std::wstring DebugOutputCapture::text() const {
    std::lock_guard lock(state_->mutex);
    return state_->text;
}

void DebugOutputCapture::clear() {
    std::lock_guard lock(state_->mutex);
    state_->text.clear();
}

void DebugOutputCapture::append(const std::wstring& text) {
    std::lock_guard lock(state_->mutex);
    state_->text += text;
}

void WriteDebugOutput(const std::wstring& text) {
    std::lock_guard lock(outputMutex());
    DebugOutputCapture* capture = currentCapture();
    if (capture) capture->append(text);
    if (!capture || capture->echo_) {
        std::string bytes = ToUtf8(text);
        std::fwrite(bytes.data(), 1, bytes.size(), stderr);
        std::fflush(stderr);
    }
}

std::string ToUtf8(const wchar_t* text) {
    return text ? ToUtf8(std::wstring(text)) : std::string();
}

// Every character of text, embedded NULs included; a value that is not a Unicode scalar (a surrogate
// or past U+10FFFF) has no UTF-8 form and is written as U+FFFD.
std::string ToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        auto c = static_cast<char32_t>(w);
        if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) c = 0xFFFD;
        appendUtf8(out, c);
    }
    return out;
}

std::wstring ToWide(const char* text) {
    return text ? ToWide(std::string(text)) : std::wstring();
}

// Strict UTF-8: overlong forms, surrogates, values past U+10FFFF, stray continuation bytes and cut-off
// sequences are invalid. Each maximal invalid subsequence becomes one U+FFFD, as Unicode recommends,
// so the same bytes always decode to the same text.
std::wstring ToWide(const std::string& text, size_t* firstInvalid) {
    std::wstring out;
    out.reserve(text.size());
    if (firstInvalid) *firstInvalid = std::wstring::npos;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        unsigned char b = *p++;
        if (b < 0x80) {
            out += static_cast<wchar_t>(b);
            continue;
        }
        int extra = 0;
        char32_t c = 0;
        unsigned char low = 0x80, high = 0xBF; // range of the first continuation byte
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1, c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2, c = b & 0x0F;
            if (b == 0xE0) low = 0xA0;
            if (b == 0xED) high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3, c = b & 0x07;
            if (b == 0xF0) low = 0x90;
            if (b == 0xF4) high = 0x8F;
        }
        bool valid = extra > 0;
        for (int i = 0; valid && i < extra; ++i) {
            if (p == end || *p < (i == 0 ? low : 0x80) || *p > (i == 0 ? high : 0xBF)) {
                valid = false;
                break;
            }
            c = (c << 6) | (*p++ & 0x3F);
        }
        if (!valid) {
            if (firstInvalid && *firstInvalid == std::wstring::npos) *firstInvalid = out.size();
            c = 0xFFFD;
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

bool TraceEnabled(const char* channel) {
    const char* setting = std::getenv("UNFOLD_DEBUG");
    if (!setting) return false;
    std::stringstream list(setting);
    std::string item;
    while (std::getline(list, item, ',')) {
        if (item == "all" || item == channel) return true;
    }
    return false;
}

void TraceWrite(const char* level, const char* channel, const char* function, const char* format, ...) {
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    std::lock_guard lock(outputMutex());
    std::fprintf(stderr, "%s:%s:%s %s\n", level, channel, function, message);
}

} // namespace platform
