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
        if (!last && (c < 0x20 || c == 0x7F || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF)) return false;
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

// path holds the key's full name; it grows and shrinks with the walk, so the work is linear in the
// size of the tree. A key without values is written only when nothing below it is: a key line
// creates its ancestors, so writing each of them too would make a deep key's lines quadratic.
void formatKey(std::string& out, std::string& path, const Key& key, bool isRoot) {
    if (!key.values().empty() || (!isRoot && key.childCount() == 0)) {
        out += "\n[";
        out += path;
        out += "]\n";
        for (auto& v : key.values()) formatValue(out, v);
    }
    for (auto& [name, child] : key.children()) {
        size_t length = path.size();
        path += '\\';
        path += ToUtf8(child->name);
        formatKey(out, path, *child, false);
        path.resize(length);
    }
}

// ---- reading ----

constexpr size_t kNoProblem = std::wstring::npos;

// The file's text and the index of its first character that did not decode (kNoProblem if none):
// UTF-16LE after its byte-order mark, else UTF-8 with or without one.
struct DecodedText {
    std::wstring text;
    size_t firstInvalid = kNoProblem;
    const char* problem = nullptr;
};

DecodedText decodeText(const std::string& bytes) {
    DecodedText out;
    if (bytes.size() >= 2 && static_cast<BYTE>(bytes[0]) == 0xFF && static_cast<BYTE>(bytes[1]) == 0xFE) {
        auto unitAt = [&](size_t i) {
            return static_cast<uint32_t>(static_cast<BYTE>(bytes[i]) |
                                         (static_cast<BYTE>(bytes[i + 1]) << 8));
        };
        auto invalid = [&](const char* problem) {
            if (out.firstInvalid == kNoProblem) out.firstInvalid = out.text.size(), out.problem = problem;
        };
        size_t i = 2;
        for (; i + 1 < bytes.size(); i += 2) {
            uint32_t unit = unitAt(i);
            if (unit >= 0xD800 && unit < 0xE000) {
                uint32_t low = i + 3 < bytes.size() ? unitAt(i + 2) : 0;
                if (unit < 0xDC00 && low >= 0xDC00 && low < 0xE000) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                } else {
                    invalid("unpaired UTF-16 surrogate");
                    unit = 0xFFFD;
                }
            }
            out.text += static_cast<wchar_t>(unit);
        }
        if (i < bytes.size()) invalid("UTF-16 text cut off inside a character");
        return out;
    }
    bool bom = bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    out.text = ToWide(bom ? bytes.substr(3) : bytes, &out.firstInvalid);
    if (out.firstInvalid != kNoProblem) out.problem = "invalid UTF-8";
    return out;
}

struct Line {
    std::wstring text; // without its line break and leading blanks
    size_t number;
    bool terminated; // ended with a line break (the last line of a cut-off file does not)
    bool badEncoding = false;
};

std::vector<Line> splitLines(const DecodedText& decoded) {
    const std::wstring& text = decoded.text;
    std::vector<Line> lines;
    size_t start = 0, number = 1;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        bool terminated = end != std::wstring::npos;
        if (!terminated) end = text.size();
        size_t first = start;
        while (first < end && (text[first] == L' ' || text[first] == L'\t')) ++first;
        size_t last = end;
        if (last > first && text[last - 1] == L'\r') --last;
        Line line{text.substr(first, last - first), number++, terminated};
        line.badEncoding = decoded.firstInvalid >= start && decoded.firstInvalid <= end;
        lines.push_back(std::move(line));
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

// Parses the data after "=". Returns the problem, or null on success; deletion sets remove.
const char* parseData(const std::wstring& data, Value& v, bool& remove) {
    remove = false;
    if (data == L"-") {
        remove = true;
        return nullptr;
    }
    if (!data.empty() && data[0] == L'"') {
        size_t pos = 0;
        auto text = parseQuoted(data, pos);
        if (!text || pos != data.size()) return "unterminated or malformed string";
        v.type = REG_SZ;
        v.data = wideBytes(*text);
        return nullptr;
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
        return nullptr;
    }
    if (data.rfind(L"hex", 0) == 0) {
        size_t pos = 3;
        DWORD type = REG_BINARY;
        if (pos < data.size() && data[pos] == L'(') {
            size_t close = data.find(L')', pos);
            if (close == std::wstring::npos || close == pos + 1 || close > pos + 9) return "bad hex type";
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
        return nullptr;
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

bool continuesHexList(const Line& line) {
    return !line.text.empty() && hexDigit(line.text[0]) >= 0;
}

// Reads the lines after the header into root. A line that does not parse is skipped and reported;
// so are the values below a key line that does not parse, as they have no key to go to. Every other
// line is read, so one damaged line costs only itself.
class HiveParser {
public:
    HiveParser(const std::vector<Line>& lines, const std::wstring& rootName, Key& root, ParseResult& result)
        : lines_(lines), rootName_(rootName), root_(root), result_(result) {}

    void run(size_t first) {
        for (size_t i = first; i < lines_.size(); ++i) {
            const Line& line = lines_[i];
            if (line.text.empty() || line.text[0] == L';') continue;
            if (line.text.find(L'\0') != std::wstring::npos) {
                damage(line.number, "NUL character in a line");
                if (line.text[0] == L'[') current_ = nullptr;
                continue;
            }
            if (line.text[0] == L'[')
                keyLine(line);
            else
                i = valueLine(i);
        }
    }

private:
    void damage(size_t line, const char* problem) {
        if (!result_.damaged) {
            result_.damaged = true;
            result_.line = line;
            result_.problem = problem;
        }
        ++result_.skippedLines;
    }

    void keyLine(const Line& line) {
        const std::wstring& text = line.text;
        current_ = nullptr; // until this line proves good, its values have nowhere to go
        if (text.back() != L']') return damage(line.number, "key line without closing ']'");
        bool remove = text.size() > 1 && text[1] == L'-';
        auto parts = splitPath(text.substr(remove ? 2 : 1, text.size() - (remove ? 3 : 2)));
        if (parts.empty() || !SameName(parts[0], rootName_))
            return damage(line.number, "key outside this hive");
        parts.erase(parts.begin());
        if (parts.size() > kMaxKeyDepth) return damage(line.number, "key more than 512 levels deep");
        for (auto& part : parts)
            if (!ValidKeyName(part)) return damage(line.number, "key name too long or not printable");
        if (remove) {
            if (parts.empty()) {
                root_.clear();
            } else if (Key* parent = FindKey(root_, {parts.begin(), parts.end() - 1})) {
                parent->removeChild(parts.back());
            }
            return;
        }
        current_ = &root_;
        for (auto& part : parts) current_ = current_->addChild(part);
    }

    // Reads the value starting at lines_[i] and answers the index of its last line.
    size_t valueLine(size_t i) {
        const Line& start = lines_[i];
        std::wstring text = start.text;
        bool cutOff = !start.terminated;
        // A hex list goes on over lines ending in a backslash.
        bool hex = text.find(L"=hex") != std::wstring::npos;
        while (hex && text.back() == L'\\') {
            text.pop_back();
            if (i + 1 >= lines_.size() || !continuesHexList(lines_[i + 1])) {
                damage(start.number, "hex list cut off");
                return i;
            }
            ++i;
            text += lines_[i].text;
            cutOff = !lines_[i].terminated;
        }
        if (!current_) {
            damage(start.number, "value outside a readable key");
            return i;
        }
        // Every line the writer makes ends in a line break. A hex list without one may have lost
        // bytes at its end and still parse, so it is not taken.
        if (hex && cutOff) {
            damage(start.number, "hex list cut off at the end of the file");
            return i;
        }
        Value v;
        size_t pos = 0;
        if (text[0] == L'@') {
            pos = 1;
        } else {
            auto name = parseQuoted(text, pos);
            if (!name) {
                damage(start.number, "malformed value name");
                return i;
            }
            if (!ValidValueName(*name)) {
                damage(start.number, "value name too long or not printable");
                return i;
            }
            v.name = *name;
        }
        if (pos >= text.size() || text[pos] != L'=') {
            damage(start.number, "missing '=' after value name");
            return i;
        }
        bool remove = false;
        if (const char* problem = parseData(text.substr(pos + 1), v, remove)) {
            damage(start.number, problem);
            return i;
        }
        if (remove)
            current_->removeValue(v.name);
        else
            current_->setValue(std::move(v));
        return i;
    }

    const std::vector<Line>& lines_;
    const std::wstring& rootName_;
    Key& root_;
    ParseResult& result_;
    Key* current_ = nullptr;
};

} // namespace

std::string FormatHive(const std::wstring& rootName, const Key& root) {
    std::string out = kHeader;
    out += '\n';
    std::string path = ToUtf8(rootName);
    formatKey(out, path, root, true);
    return out;
}

ParseResult ParseHive(const std::string& bytes, const std::wstring& rootName, Key& root) {
    ParseResult result;
    DecodedText decoded = decodeText(bytes);
    std::vector<Line> lines = splitLines(decoded);
    size_t i = 0;
    while (i < lines.size() && lines[i].text.empty()) ++i;
    if (i == lines.size()) {
        result.damaged = true;
        result.line = 1;
        result.problem = "no header (empty file)";
        return result;
    }
    if (lines[i].text != L"Windows Registry Editor Version 5.00" && lines[i].text != L"REGEDIT4") {
        result.damaged = true;
        result.line = lines[i].number;
        result.problem = "not a registry file header";
        return result;
    }
    HiveParser(lines, rootName, root, result).run(i + 1);
    // Text that did not decode is read as U+FFFD; the file is still damaged, so it is kept aside.
    if (decoded.problem && !result.damaged) {
        result.damaged = true;
        result.line = lines.back().number; // text cut off after the last line break
        for (auto& line : lines)
            if (line.badEncoding) {
                result.line = line.number;
                break;
            }
        result.problem = decoded.problem;
    }
    return result;
}

} // namespace platform::registry
