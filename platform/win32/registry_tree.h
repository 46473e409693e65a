// In-memory form of one registry hive: a tree of keys holding typed values.
//
// Names follow Windows' limits, checked by ValidKeyName and ValidValueName before anything is stored:
// a key name has 1 to 255 characters and no backslash, a value name at most 16,383 characters, and a
// key lies at most 512 levels below its hive's root. Neither may hold a control character or a code
// point outside Unicode: such a name could not be written to the hive file and read back the same.
//
// Every operation is logarithmic or amortised constant in the number of values and subkeys of a key,
// so a hive with tens of thousands of siblings reads, writes and enumerates in linear time.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <windows.h>

namespace platform::registry {

constexpr size_t kMaxKeyNameChars = 255;
constexpr size_t kMaxValueNameChars = 16383;
constexpr size_t kMaxKeyDepth = 512;

bool ValidKeyName(const std::wstring& name);
bool ValidValueName(const std::wstring& name);

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

class Key {
public:
    std::wstring name;

    Key* child(const std::wstring& name) const;
    Key* addChild(const std::wstring& name);
    bool removeChild(const std::wstring& name);
    size_t childCount() const { return subkeys_.size(); }
    // The index-th subkey in name order; null past the end.
    Key* childAt(size_t index) const;
    const std::map<std::wstring, std::unique_ptr<Key>, NameLess>& children() const { return subkeys_; }

    Value* value(const std::wstring& name);
    void setValue(Value v);
    bool removeValue(const std::wstring& name);
    size_t valueCount() const { return valueIndex_.size(); }
    // In the order they were first set, as Windows keeps them.
    const std::vector<Value>& values() const;

    void clear();
    size_t keyCount() const; // this key and all below it

private:
    void compactValues() const;

    std::map<std::wstring, std::unique_ptr<Key>, NameLess> subkeys_;
    // subkeys_ in order, rebuilt on the first call of childAt after a change.
    mutable std::vector<Key*> order_;
    mutable bool orderStale_ = false;
    // A removed value leaves a hole (removed_ set) in values_ until the next call of values().
    mutable std::vector<Value> values_;
    mutable std::vector<bool> removed_;
    mutable std::unordered_map<std::wstring, size_t> valueIndex_; // upper-cased name -> position
    mutable size_t holes_ = 0;
};

// The key at path below root, or null.
Key* FindKey(Key& root, const std::vector<std::wstring>& path);

} // namespace platform::registry
