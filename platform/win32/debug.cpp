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
    std::string out;
    if (!text) return out;
    for (; *text; ++text) appendUtf8(out, static_cast<char32_t>(*text));
    return out;
}

std::string ToUtf8(const std::wstring& text) {
    return ToUtf8(text.c_str());
}

std::wstring ToWide(const char* text) {
    std::wstring out;
    if (!text) return out;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        char32_t c = *p;
        int extra = 0;
        if (c >= 0xF0) {
            c &= 0x07;
            extra = 3;
        } else if (c >= 0xE0) {
            c &= 0x0F;
            extra = 2;
        } else if (c >= 0xC0) {
            c &= 0x1F;
            extra = 1;
        } else if (c >= 0x80) {
            c = 0xFFFD; // stray continuation byte
        }
        ++p;
        for (int i = 0; i < extra; ++i) {
            if ((*p & 0xC0) != 0x80) {
                c = 0xFFFD;
                break;
            }
            c = (c << 6) | (*p++ & 0x3F);
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

std::wstring ToWide(const std::string& text) {
    return ToWide(text.c_str());
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

void WINAPI OutputDebugStringW(LPCWSTR text) {
    if (text) platform::WriteDebugOutput(text);
}

void WINAPI OutputDebugStringA(LPCSTR text) {
    if (text) platform::WriteDebugOutput(platform::ToWide(text));
}
