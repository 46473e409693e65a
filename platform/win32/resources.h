// The resource tables of loaded modules, behind FindResourceW and LoadResource.
//
// The resource compiler (tools/resource_compiler) turns a .rc script into a C++ source that embeds
// the bytes of each resource in a ResourceEntry table and defines one ModuleResourceTable at
// namespace scope. Its constructor runs when the module is loaded (static initialisation of the
// executable, or dlopen of a shared library) and registers the table under the module that contains
// it, found with dladdr; its destructor unregisters the table when the module is unloaded, so a
// handle into an unloaded module is refused rather than read.
#pragma once

#include <cstddef>
#include <cstdint>

#include <windows.h>

namespace platform {

struct ResourceEntry {
    const wchar_t* typeName; // upper-case, or null when typeId identifies the type
    uint16_t typeId;
    const wchar_t* name; // upper-case, or null when id identifies the resource
    uint16_t id;
    uint16_t language;
    const unsigned char* data;
    uint32_t size; // bytes
};

// Registers `count` entries under the module that contains them. Returns that module, or null when
// the address belongs to no loaded module.
HMODULE RegisterModuleResources(const ResourceEntry* entries, size_t count) noexcept;
void UnregisterModuleResources(const ResourceEntry* entries) noexcept;

// The module containing an address (its load address), or null.
HMODULE ModuleFromAddress(const void* address) noexcept;

class ModuleResourceTable {
public:
    ModuleResourceTable(const ResourceEntry* entries, size_t count)
        : entries_(entries), module_(RegisterModuleResources(entries, count)) {}
    ~ModuleResourceTable() { UnregisterModuleResources(entries_); }
    ModuleResourceTable(const ModuleResourceTable&) = delete;
    ModuleResourceTable& operator=(const ModuleResourceTable&) = delete;
    HMODULE module() const { return module_; }

private:
    const ResourceEntry* entries_;
    HMODULE module_;
};

} // namespace platform
