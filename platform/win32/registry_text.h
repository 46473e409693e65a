// The Windows registry-export text format of the hive files.
//
// Written: the "Windows Registry Editor Version 5.00" header, then, in name order, every key below the
// root that has values or no subkeys, as "[HKEY_CURRENT_USER\Software\...]" followed by its values
// (a key line creates the keys above it, so those need no line of their own):
// REG_SZ as "name"="text" (backslash and quote escaped), REG_DWORD as dword:0000002a, REG_BINARY as
// hex:01,02,..., any other type as hex(type):... with strings in UTF-16LE as regedit writes them; long
// hex lists continue on indented lines after a backslash. Text is UTF-8 with LF line ends.
// Read: the same, and also CRLF line ends, a UTF-8 or UTF-16LE byte-order mark, ";" comments, the
// REGEDIT4 header, "[-key]" and "name"=- deletions. Whatever is written reads back as the same tree.
#pragma once

#include <string>

#include "platform/win32/registry_tree.h"

namespace platform::registry {

std::string FormatHive(const std::wstring& rootName, const Key& root);

struct ParseResult {
    bool damaged = false;
    size_t line = 0;         // first damaged line (1-based) when damaged
    std::string problem;     // what was wrong with it
    size_t skippedLines = 0; // lines not read: those that did not parse and the values of bad keys
};

// Fills root (which must be empty) with what the text holds. A damaged line (one that does not parse,
// or holds a name Windows would refuse, a NUL or text that is not valid UTF-8 or UTF-16) is reported
// and skipped, and reading goes on after it; text that does not decode is read as U+FFFD. A file
// without the header is damaged as a whole and gives nothing.
ParseResult ParseHive(const std::string& bytes, const std::wstring& rootName, Key& root);

} // namespace platform::registry
