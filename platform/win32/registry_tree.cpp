#include "platform/win32/registry_tree.h"

#include <cwctype>

namespace platform::registry {

bool NameLess::operator()(const std::wstring& a, const std::wstring& b) const {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        wint_t x = std::towupper(a[i]), y = std::towupper(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    NameLess less;
    return !less(a, b) && !less(b, a);
}

Key* Key::child(const std::wstring& n) const {
    auto it = subkeys.find(n);
    return it == subkeys.end() ? nullptr : it->second.get();
}

Key* Key::addChild(const std::wstring& n) {
    if (Key* existing = child(n)) return existing;
    auto key = std::make_unique<Key>();
    key->name = n;
    Key* raw = key.get();
    subkeys.emplace(n, std::move(key));
    return raw;
}

Value* Key::value(const std::wstring& n) {
    for (auto& v : values)
        if (SameName(v.name, n)) return &v;
    return nullptr;
}

void Key::setValue(Value v) {
    if (Value* existing = value(v.name)) {
        existing->type = v.type;
        existing->data = std::move(v.data);
    } else {
        values.push_back(std::move(v));
    }
}

bool Key::removeValue(const std::wstring& n) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (SameName(it->name, n)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

size_t Key::keyCount() const {
    size_t n = 1;
    for (auto& [name, key] : subkeys) n += key->keyCount();
    return n;
}

Key* FindKey(Key& root, const std::vector<std::wstring>& path) {
    Key* key = &root;
    for (auto& part : path) {
        key = key->child(part);
        if (!key) return nullptr;
    }
    return key;
}

} // namespace platform::registry
