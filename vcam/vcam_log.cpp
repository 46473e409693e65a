#include "vcam/vcam_log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

// One line at a time: the pin's worker thread and the application's threads both log.
std::mutex g_logLock;

void write(const char* tag, int line, const char* format, va_list args) {
    std::lock_guard lock(g_logLock);
    std::fflush(stdout);
    if (tag) std::printf("[%s:%d]", tag, line);
    std::vprintf(format, args);
    std::fflush(stdout);
}

} // namespace

void VCamLog(const char* tag, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    write(tag, line, format, args);
    va_end(args);
}

void VCamPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    write(nullptr, 0, format, args);
    va_end(args);
}
