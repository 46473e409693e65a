// VERSIONINFO statements, compiled into the VS_VERSIONINFO layout that VerQueryValueW walks:
//
//   id VERSIONINFO
//   FILEVERSION a, b, c, d       PRODUCTVERSION a, b, c, d
//   FILEFLAGSMASK n   FILEFLAGS n   FILEOS n   FILETYPE n   FILESUBTYPE n
//   BEGIN
//     BLOCK "StringFileInfo" BEGIN BLOCK "040904b0" BEGIN VALUE "Key", "text" ... END END
//     BLOCK "VarFileInfo" BEGIN VALUE "Translation", 0x409, 1200 END
//   END
//
// Every node is { wLength, wValueLength, wType, key, padding, value, padding, children }, children
// aligned to 32 bits; wLength leaves out the node's own trailing padding. A value of strings is text
// (wType 1, its length in UTF-16 units with the terminating zero); a value of numbers is binary
// (wType 0, 16-bit words or 32-bit with the L suffix, its length in bytes).
#pragma once

#include "tools/resource_compiler/rc_cursor.h"
#include "tools/resource_compiler/rc_script.h"

namespace unfold::rc {

void ParseVersionInfo(ScriptCursor& c, Resource& r);

} // namespace unfold::rc
