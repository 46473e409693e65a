#include "platform/win32/registry_text.h"

#include <cstring>
#include <cwchar>
#include <optional>
#include <vector>

#include "platform/win32/debug.h"

namespace platform::registry {
namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00";
constexpr size_t kHexLineWidth = 76;

// ---- writing ----

void appendHex(std::string& out, unsigned value, int digits) {
    static const char* hex = "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i) out += hex[(value >> (4 * i)) & 0xF];
}

std::string quoted(const std::wstring& text) {
    std::string out = "\"";
    for (char c : ToUtf8(text)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::vector<BYTE> toUtf16(const std::vector<BYTE>& wideBytes) {
    std::vector<BYTE> out;
    size_t count = wideBytes.size() / sizeof(WCHAR);
    for (size_t i = 0; i < count; ++i) {
        uint32_t c;
        std::memcpy(&c, wideBytes.data() + i * sizeof(WCHAR), sizeof c);
        auto put = [&](uint32_t unit) {
            out.push_back(static_cast<BYTE>(unit & 0xFF));
            out.push_back(static_cast<BYTE>(unit >> 8));
        };
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            put(0xD800 | (c >> 10));
            put(0xDC00 | (c & 0x3FF));
        } else {
            put(c > 0x10FFFF ? 0xFFFD : c);
        }
    }
    return out;
}

// A REG_SZ that is one terminated line of text goes in quotes; anything else as hex(1).
bool isPlainString(const std::vector<BYTE>& data) {
    size_t count = data.size() / sizeof(WCHAR);
    if (count == 0) return false;
    for (size_t i = 0; i < count; ++i) {
        uint32_t c;
        std::memcpy(&c, data.data() + i * sizeof(WCHAR), sizeof c);
        bool last = i + 1 == count;
        if (last != (c == 0)) return false;
        if (!last && (c < 0x20 || c == 0x7F || c > 0x10FFFF)) return false;
    }
    return true;
}

void appendHexList(std::string& out, const std::vector<BYTE>& bytes) {
    size_t column = out.size() - (out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            out += ',';
            ++column;
            if (column + 3 > kHexLineWidth) {
                out += "\\\n  ";
                column = 2;
            }
        }
        appendHex(out, bytes[i], 2);
        column += 2;
    }
}

void formatValue(std::string& out, const Value& v) {
    out += v.name.empty() ? std::string("@") : quoted(v.name);
    out += '=';
    if (v.type == REG_SZ && isPlainString(v.data)) {
        std::wstring text(reinterpret_cast<const WCHAR*>(v.data.data()), v.data.size() / sizeof(WCHAR) - 1);
        out += quoted(text);
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD d;
        std::memcpy(&d, v.data.data(), 4);
        out += "dword:";
        appendHex(out, d, 8);
    } else if (v.type == REG_BINARY) {
        out += "hex:";
        appendHexList(out, v.data);
    } else {
        out += "hex(";
        char type[16];
        std::snprintf(type, sizeof type, "%x", static_cast<unsigned>(v.type));
        out += type;
        out += "):";
        bool text = v.type == REG_SZ || v.type == REG_EXPAND_SZ || v.type == REG_MULTI_SZ;
        appendHexList(out, text ? toUtf16(v.data) : v.data);
    }
    out += '\n';
}

void formatKey(std::string& out, const std::string& path, const Key& key, bool isRoot) {
    if (!isRoot || !key.values.empty()) {
        out += "\n[" + path + "]\n";
        for (auto& v : key.values) formatValue(out, v);
    }
    for (auto& [name, child] : key.subkeys) formatKey(out, path + "\\" + ToUtf8(child->name), *child, false);
}

// ---- reading ----

std::wstring decodeText(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<BYTE>(bytes[0]) == 0xFF && static_cast<BYTE>(bytes[1]) == 0xFE) {
        std::wstring out;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            uint32_t unit = static_cast<BYTE>(bytes[i]) | (static_cast<BYTE>(bytes[i + 1]) << 8);
            if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
                uint32_t low = static_cast<BYTE>(bytes[i + 2]) | (static_cast<BYTE>(bytes[i + 3]) << 8);
                if (low >= 0xDC00 && low < 0xE000) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            out += static_cast<wchar_t>(unit);
        }
        return out;
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return ToWide(bytes.substr(3));
    return ToWide(bytes);
}

struct Line {
    std::wstring text;
    size_t number;
    bool terminated; // ended with a line break (the last line of a cut-off file does not)
};

std::vector<Line> splitLines(const std::wstring& text) {
    std::vector<Line> lines;
    size_t start = 0, number = 1;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        bool terminated = end != std::wstring::npos;
        if (!terminated) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back({line, number++, terminated});
        start = end + 1;
    }
    return lines;
}

int hexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// Parses a quoted string starting at text[pos] == '"'; pos ends after the closing quote.
std::optional<std::wstring> parseQuoted(const std::wstring& text, size_t& pos) {
    if (pos >= text.size() || text[pos] != L'"') return std::nullopt;
    std::wstring out;
    for (++pos; pos < text.size(); ++pos) {
        wchar_t c = text[pos];
        if (c == L'\\') {
            if (++pos >= text.size()) return std::nullopt;
            out += text[pos];
        } else if (c == L'"') {
            ++pos;
            return out;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<BYTE>> parseHexList(const std::wstring& text) {
    std::vector<BYTE> out;
    size_t pos = 0;
    auto skipSpace = [&] {
        while (pos < text.size() && (text[pos] == L' ' || text[pos] == L'\t')) ++pos;
    };
    skipSpace();
    if (pos == text.size()) return out;
    for (;;) {
        skipSpace();
        if (pos + 2 > text.size()) return std::nullopt;
        int hi = hexDigit(text[pos]), lo = hexDigit(text[pos + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<BYTE>(hi * 16 + lo));
        pos += 2;
        skipSpace();
        if (pos == text.size()) return out;
        if (text[pos] != L',') return std::nullopt;
        ++pos;
    }
}

std::optional<std::vector<BYTE>> fromUtf16(const std::vector<BYTE>& bytes) {
    if (bytes.size() % 2) return std::nullopt;
    std::vector<BYTE> out;
    for (size_t i = 0; i < bytes.size(); i += 2) {
        uint32_t unit = bytes[i] | (bytes[i + 1] << 8);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            uint32_t low = bytes[i + 2] | (bytes[i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        WCHAR c = static_cast<WCHAR>(unit);
        const BYTE* p = reinterpret_cast<const BYTE*>(&c);
        out.insert(out.end(), p, p + sizeof c);
    }
    return out;
}

std::vector<BYTE> wideBytes(const std::wstring& text) {
    std::vector<BYTE> out((text.size() + 1) * sizeof(WCHAR), 0);
    std::memcpy(out.data(), text.data(), text.size() * sizeof(WCHAR));
    return out;
}

// Parses the data after "=". Returns the problem, or an empty string on success; deletion sets remove.
std::string parseData(const std::wstring& data, Value& v, bool& remove) {
    remove = false;
    if (data == L"-") {
        remove = true;
        return {};
    }
    if (!data.empty() && data[0] == L'"') {
        size_t pos = 0;
        auto text = parseQuoted(data, pos);
        if (!text || pos != data.size()) return "unterminated or malformed string";
        v.type = REG_SZ;
        v.data = wideBytes(*text);
        return {};
    }
    if (data.rfind(L"dword:", 0) == 0) {
        std::wstring digits = data.substr(6);
        if (digits.size() != 8) return "dword needs eight hex digits";
        DWORD d = 0;
        for (wchar_t c : digits) {
            int h = hexDigit(c);
            if (h < 0) return "bad hex digit in dword";
            d = d * 16 + static_cast<DWORD>(h);
        }
        v.type = REG_DWORD;
        v.data.resize(4);
        std::memcpy(v.data.data(), &d, 4);
        return {};
    }
    if (data.rfind(L"hex", 0) == 0) {
        size_t pos = 3;
        DWORD type = REG_BINARY;
        if (pos < data.size() && data[pos] == L'(') {
            size_t close = data.find(L')', pos);
            if (close == std::wstring::npos || close == pos + 1) return "bad hex type";
            type = 0;
            for (size_t i = pos + 1; i < close; ++i) {
                int h = hexDigit(data[i]);
                if (h < 0) return "bad hex type";
                type = type * 16 + static_cast<DWORD>(h);
            }
            pos = close + 1;
        }
        if (pos >= data.size() || data[pos] != L':') return "missing ':' after hex";
        auto bytes = parseHexList(data.substr(pos + 1));
        if (!bytes) return "bad hex byte list";
        v.type = type;
        if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
            auto wide = fromUtf16(*bytes);
            if (!wide) return "odd byte count in a UTF-16 string";
            v.data = std::move(*wide);
        } else {
            v.data = std::move(*bytes);
        }
        return {};
    }
    return "unknown value type";
}

std::vector<std::wstring> splitPath(const std::wstring& path) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace

std::string FormatHive(const std::wstring& rootName, const Key& root) {
    std::string out = kHeader;
    out += '\n';
    formatKey(out, ToUtf8(rootName), root, true);
    return out;
}

ParseResult ParseHive(const std::string& bytes, const std::wstring& rootName, Key& root) {
    ParseResult result;
    auto fail = [&](size_t line, const char* problem) {
        result.damaged = true;
        result.line = line;
        result.problem = problem;
        return result;
    };
    std::vector<Line> lines = splitLines(decodeText(bytes));
    size_t i = 0;
    while (i < lines.size() && lines[i].text.empty()) ++i;
    if (i == lines.size()) return fail(1, "no header (empty file)");
    if (lines[i].text != L"Windows Registry Editor Version 5.00" && lines[i].text != L"REGEDIT4")
        return fail(lines[i].number, "not a registry file header");
    ++i;

    Key* current = nullptr;
    for (; i < lines.size(); ++i) {
        const Line& line = lines[i];
        std::wstring text = line.text;
        size_t first = text.find_first_not_of(L" \t");
        if (first == std::wstring::npos || text[first] == L';') continue;
        text = text.substr(first);
        if (text[0] == L'[') {
            if (text.back() != L']') return fail(line.number, "key line without closing ']'");
            bool remove = text.size() > 1 && text[1] == L'-';
            auto parts = splitPath(text.substr(remove ? 2 : 1, text.size() - (remove ? 3 : 2)));
            if (parts.empty() || !SameName(parts[0], rootName))
                return fail(line.number, "key outside this hive");
            parts.erase(parts.begin());
            if (remove) {
                current = nullptr;
                if (parts.empty()) {
                    root.subkeys.clear();
                    root.values.clear();
                } else if (Key* parent = FindKey(root, {parts.begin(), parts.end() - 1})) {
                    parent->subkeys.erase(parts.back());
                }
                continue;
            }
            current = &root;
            for (auto& part : parts) current = current->addChild(part);
            continue;
        }
        if (!current) return fail(line.number, "value outside a key");
        // Join continuation lines of a hex list.
        size_t startLine = line.number;
        while (!text.empty() && text.back() == L'\\' && text.find(L"=hex") != std::wstring::npos) {
            text.pop_back();
            if (++i >= lines.size()) return fail(startLine, "hex list cut off");
            std::wstring next = lines[i].text;
            size_t s = next.find_first_not_of(L" \t");
            text += s == std::wstring::npos ? L"" : next.substr(s);
        }
        Value v;
        size_t pos = 0;
        if (text[0] == L'@') {
            pos = 1;
        } else {
            auto name = parseQuoted(text, pos);
            if (!name) return fail(startLine, "malformed value name");
            v.name = *name;
        }
        if (pos >= text.size() || text[pos] != L'=') return fail(startLine, "missing '=' after value name");
        bool remove = false;
        std::string problem = parseData(text.substr(pos + 1), v, remove);
        if (!problem.empty()) return fail(startLine, problem.c_str());
        if (remove)
            current->removeValue(v.name);
        else
            current->setValue(std::move(v));
    }
    return result;
}

} // namespace platform::registry
