// Writes a resource script as a C++ source file that embeds each resource's bytes and registers
// the module's resource table while the module is loaded (platform/win32/resources.h).
#pragma once

#include <string>

#include "tools/resource_compiler/rc_script.h"

namespace unfold::rc {

std::string EmitCpp(const ResourceScript& script, const std::string& sourceName);

// A make-style dependency file: "output: dep1 dep2 ...".
std::string EmitDepfile(const std::string& output, const std::vector<std::string>& dependencies);

} // namespace unfold::rc
