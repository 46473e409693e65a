// ICON statements: "id ICON [options] "file.ico"". Each image of the icon file becomes an RT_ICON
// resource numbered from the script's running icon number, and the statement's id names the
// RT_GROUP_ICON directory that lists them (GRPICONDIR, entries of 14 bytes ending in the image's id).
#pragma once

#include <vector>

#include "tools/resource_compiler/rc_cursor.h"
#include "tools/resource_compiler/rc_script.h"

namespace unfold::rc {

// `group` has its name and language; returns the images followed by the directory. `nextIconId` is
// advanced past the images' numbers.
std::vector<Resource> CompileIcon(const std::vector<uint8_t>& icoFile, const Resource& group,
                                  uint16_t& nextIconId, const std::string& fileName);

} // namespace unfold::rc
