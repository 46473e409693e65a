// The file-backed registry.
//
// Each hive (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE) is one file named after it,
// "HKEY_CURRENT_USER.reg", in the Windows registry-export text format, written as UTF-8 so a person can
// read and edit it. The folder is $UNFOLD_REGISTRY, else $XDG_CONFIG_HOME/unfold/registry, else
// $HOME/.config/unfold/registry, else the private folder ${TMPDIR:-/tmp}/unfold-registry-UID (created
// 0700; refused when another user owns it or others can write to it); it is looked up on every call,
// so a test can point it at a temporary folder at any time. HKEY_CLASSES_ROOT is a hive of its own
// here, not a merged view of the other two.
//
// Names are held to Windows' limits (key names 1 to 255 printable characters without a backslash,
// value names up to 16,383 printable characters, keys at most 512 levels deep) and string data to
// whole WCHARs that are Unicode characters; anything else is refused with ERROR_INVALID_PARAMETER, so
// everything accepted reads back the same from the file.
//
// Every change is written at once: under an exclusive lock on "<hive>.reg.lock" the file is re-read if
// another process changed it, the change is applied, the whole hive is written to a temporary file that
// is synced and renamed over the old one, so a crash mid-save loses nothing; temporary files left by a
// process that died mid-save are removed by the next save. Reads re-read the file when it changed on
// disk. A damaged file (a line that does not parse, a cut-off value, a NUL, invalid UTF-8) is reported
// on standard error and read except for its damaged lines; before the first save over it the original
// is kept as "<hive>.reg.damaged" (or ".damaged-2", ...), so it is never silently replaced with less.
//
// Fault injection: every Reg* entry point under its own name, "Registry.Lock" (taking the file lock)
// and "Registry.Save" (writing the file); an injected HRESULT_FROM_WIN32(code) gives that code.
#pragma once

#include <string>

#include <windows.h>

namespace platform {

// Folder of the hive files in use now.
std::string RegistryFolder();
// Full path of a root key's hive file (empty for a handle that is not a root key).
std::string RegistryHivePath(HKEY root);

} // namespace platform
