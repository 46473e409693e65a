// The Windows registry-export text format of the hive files.
//
// Written: the "Windows Registry Editor Version 5.00" header, then every key below the root (parents
// first, subkeys in name order) as "[HKEY_CURRENT_USER\Software\...]" followed by its values:
// REG_SZ as "name"="text" (backslash and quote escaped), REG_DWORD as dword:0000002a, REG_BINARY as
// hex:01,02,..., any other type as hex(type):... with strings in UTF-16LE as regedit writes them; long
// hex lists continue on indented lines after a backslash. Text is UTF-8 with LF line ends.
// Read: the same, and also CRLF line ends, a UTF-8 or UTF-16LE byte-order mark, ";" comments, the
// REGEDIT4 header, "[-key]" and "name"=- deletions.
#pragma once

#include <string>

#include "platform/win32/registry_tree.h"

namespace platform::registry {

std::string FormatHive(const std::wstring& rootName, const Key& root);

struct ParseResult {
    bool damaged = false;
    size_t line = 0;     // first line that did not parse (1-based) when damaged
    std::string problem; // what was wrong with it
};

// Fills root (which must be empty) with what the text holds, up to the first line that does not parse.
ParseResult ParseHive(const std::string& bytes, const std::wstring& rootName, Key& root);

} // namespace platform::registry
