#include "engine/engine_log.h"

#include <cstdarg>
#include <cstdio>

namespace {

void writeWide(const char* text) {
    WCHAR wide[2048];
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 2048);
    if (n > 0) OutputDebugStringW(wide);
}

} // namespace

void EngineLogError(const ReportSite& site, HRESULT hr) {
    char buffer[2048];
    std::snprintf(buffer, sizeof buffer, "\r\n[ERR]%s:%d (0x%08X)\r\n\r\n", site.tag, site.line,
                  static_cast<unsigned>(hr));
    writeWide(buffer);
}

void EngineLog(const char* format, ...) {
    char buffer[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    writeWide(buffer);
}
