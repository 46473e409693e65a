// The log lines of unfoldcam on standard output, flushed before and after so that they keep their
// place among the host's own output. Line numbers are the report sites' fixed numbers, not source
// lines, so that readers of the log can rely on them.
#pragma once

// "[<tag>:<line>]" followed by the printf-formatted message.
void VCamLog(const char* tag, int line, const char* format, ...) __attribute__((format(printf, 3, 4)));
// The printf-formatted text alone.
void VCamPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
