// In-memory form of one registry hive: a tree of keys holding typed values.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

namespace platform::registry {

// Key and value names compare without regard to case, as on Windows; they keep the case they were
// created with.
struct NameLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};
bool SameName(const std::wstring& a, const std::wstring& b);

struct Value {
    std::wstring name; // empty for the default value
    DWORD type = REG_NONE;
    // Bytes as RegSetValueExW received them; string types hold WCHARs (4 bytes each here).
    std::vector<BYTE> data;
};

struct Key {
    std::wstring name;
    std::vector<Value> values; // in the order they were first set, as Windows keeps them
    std::map<std::wstring, std::unique_ptr<Key>, NameLess> subkeys;

    Key* child(const std::wstring& name) const;
    Key* addChild(const std::wstring& name);
    Value* value(const std::wstring& name);
    void setValue(Value v);
    bool removeValue(const std::wstring& name);
    size_t keyCount() const; // this key and all below it
};

// The key at path below root, or null.
Key* FindKey(Key& root, const std::vector<std::wstring>& path);

} // namespace platform::registry
