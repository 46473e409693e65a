#include "platform/win32/registry_tree.h"

#include <algorithm>
#include <cwctype>

namespace platform::registry {
namespace {

// Characters a name may hold: printable, and representable in both UTF-8 and UTF-16.
bool nameCharacter(wchar_t c) {
    auto u = static_cast<uint32_t>(c);
    if (u < 0x20 || u == 0x7F) return false;
    if (u >= 0xD800 && u < 0xE000) return false;
    return u <= 0x10FFFF;
}

std::wstring folded(const std::wstring& name) {
    std::wstring out(name.size(), L'\0');
    std::transform(name.begin(), name.end(), out.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    return out;
}

} // namespace

bool ValidKeyName(const std::wstring& name) {
    if (name.empty() || name.size() > kMaxKeyNameChars) return false;
    return std::all_of(name.begin(), name.end(), [](wchar_t c) { return c != L'\\' && nameCharacter(c); });
}

bool ValidValueName(const std::wstring& name) {
    return name.size() <= kMaxValueNameChars && std::all_of(name.begin(), name.end(), nameCharacter);
}

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
    auto it = subkeys_.find(n);
    return it == subkeys_.end() ? nullptr : it->second.get();
}

Key* Key::addChild(const std::wstring& n) {
    auto [it, added] = subkeys_.try_emplace(n);
    if (added) {
        it->second = std::make_unique<Key>();
        it->second->name = n;
        orderStale_ = true;
    }
    return it->second.get();
}

bool Key::removeChild(const std::wstring& n) {
    if (!subkeys_.erase(n)) return false;
    orderStale_ = true;
    return true;
}

Key* Key::childAt(size_t index) const {
    if (orderStale_ || order_.size() != subkeys_.size()) {
        order_.clear();
        order_.reserve(subkeys_.size());
        for (auto& [n, key] : subkeys_) order_.push_back(key.get());
        orderStale_ = false;
    }
    return index < order_.size() ? order_[index] : nullptr;
}

Value* Key::value(const std::wstring& n) {
    auto it = valueIndex_.find(folded(n));
    return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

void Key::setValue(Value v) {
    auto [it, added] = valueIndex_.try_emplace(folded(v.name), values_.size());
    if (!added) {
        Value& existing = values_[it->second];
        existing.type = v.type;
        existing.data = std::move(v.data);
        return;
    }
    values_.push_back(std::move(v));
    removed_.push_back(false);
}

bool Key::removeValue(const std::wstring& n) {
    auto it = valueIndex_.find(folded(n));
    if (it == valueIndex_.end()) return false;
    removed_[it->second] = true;
    values_[it->second].data.clear();
    valueIndex_.erase(it);
    ++holes_;
    return true;
}

const std::vector<Value>& Key::values() const {
    if (holes_) compactValues();
    return values_;
}

void Key::compactValues() const {
    size_t kept = 0;
    for (size_t i = 0; i < values_.size(); ++i) {
        if (removed_[i]) continue;
        if (kept != i) values_[kept] = std::move(values_[i]);
        valueIndex_[folded(values_[kept].name)] = kept;
        ++kept;
    }
    values_.resize(kept);
    removed_.assign(kept, false);
    holes_ = 0;
}

void Key::clear() {
    subkeys_.clear();
    order_.clear();
    orderStale_ = false;
    values_.clear();
    removed_.clear();
    valueIndex_.clear();
    holes_ = 0;
}

size_t Key::keyCount() const {
    size_t n = 1;
    for (auto& [name, key] : subkeys_) n += key->keyCount();
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
