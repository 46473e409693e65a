#include "platform/win32/dialog_template.h"

#include "platform/include/winuser.rh"
#include "platform/win32/utf16.h"

namespace platform {
namespace {

class Reader {
public:
    Reader(const uint8_t* b, size_t size) : b_(b), size_(size) {}
    bool ok() const { return ok_; }
    size_t at() const { return at_; }
    bool has(size_t n) {
        if (!ok_ || n > size_ - at_) ok_ = false;
        return ok_;
    }
    uint16_t word() {
        if (!has(2)) return 0;
        const uint16_t v = ReadUnit(b_ + at_);
        at_ += 2;
        return v;
    }
    uint32_t dword() {
        const uint32_t low = word();
        return low | (uint32_t(word()) << 16);
    }
    uint8_t byte() {
        if (!has(1)) return 0;
        return b_[at_++];
    }
    std::wstring text() {
        size_t units = 0;
        while (has(2 * (units + 1)) && ReadUnit(b_ + at_ + 2 * units) != 0) ++units;
        if (!ok_) return {};
        std::wstring s = FromUtf16(b_ + at_, units);
        at_ += 2 * (units + 1);
        return s;
    }
    DialogName name() {
        DialogName n;
        if (!has(2)) return n;
        const uint16_t first = ReadUnit(b_ + at_);
        if (first == 0xFFFF) {
            at_ += 2;
            n.isOrdinal = true;
            n.ordinal = word();
        } else {
            n.text = text();
        }
        return n;
    }
    std::vector<uint8_t> bytes(size_t n) {
        if (!has(n)) return {};
        std::vector<uint8_t> out(b_ + at_, b_ + at_ + n);
        at_ += n;
        return out;
    }
    void align4() {
        const size_t aligned = (at_ + 3) & ~size_t(3);
        if (aligned > size_) {
            // The last item may end without its padding.
            at_ = size_;
            return;
        }
        at_ = aligned;
    }

private:
    const uint8_t* b_;
    size_t size_;
    size_t at_ = 0;
    bool ok_ = true;
};

class Writer {
public:
    void word(uint16_t v) {
        b_.push_back(uint8_t(v));
        b_.push_back(uint8_t(v >> 8));
    }
    void dword(uint32_t v) {
        word(uint16_t(v));
        word(uint16_t(v >> 16));
    }
    void text(const std::wstring& s) {
        for (wchar_t c : s) {
            uint32_t u = uint32_t(c);
            if (u >= 0x10000) {
                u -= 0x10000;
                word(uint16_t(0xD800 + (u >> 10)));
                word(uint16_t(0xDC00 + (u & 0x3FF)));
            } else {
                word(uint16_t(u));
            }
        }
        word(0);
    }
    void name(const DialogName& n) {
        if (n.isOrdinal) {
            word(0xFFFF);
            word(n.ordinal);
        } else {
            text(n.text);
        }
    }
    void align4() {
        while (b_.size() % 4) b_.push_back(0);
    }
    std::vector<uint8_t> take() { return std::move(b_); }
    std::vector<uint8_t>& bytes() { return b_; }

private:
    std::vector<uint8_t> b_;
};

} // namespace

bool ParseDialogTemplate(const uint8_t* bytes, size_t size, DialogTemplate& d) {
    if (!bytes) return false;
    Reader r(bytes, size);
    d = DialogTemplate{};
    uint16_t count = 0;
    if (size >= 4 && ReadUnit(bytes) == 1 && ReadUnit(bytes + 2) == 0xFFFF) {
        r.word();
        r.word();
        d.helpId = r.dword();
        d.exStyle = r.dword();
        d.style = r.dword();
    } else {
        d.extended = false;
        d.style = r.dword();
        d.exStyle = r.dword();
    }
    count = r.word();
    d.x = int16_t(r.word());
    d.y = int16_t(r.word());
    d.cx = int16_t(r.word());
    d.cy = int16_t(r.word());
    d.menu = r.name();
    d.windowClass = r.name();
    d.title = r.text();
    if (d.style & DS_SETFONT) {
        d.pointSize = r.word();
        if (d.extended) {
            d.weight = r.word();
            d.italic = r.byte() != 0;
            d.charset = r.byte();
        }
        d.typeface = r.text();
    }
    for (uint16_t i = 0; i < count && r.ok(); ++i) {
        r.align4();
        DialogItemTemplate item;
        if (d.extended) {
            item.helpId = r.dword();
            item.exStyle = r.dword();
            item.style = r.dword();
        } else {
            item.style = r.dword();
            item.exStyle = r.dword();
        }
        item.x = int16_t(r.word());
        item.y = int16_t(r.word());
        item.cx = int16_t(r.word());
        item.cy = int16_t(r.word());
        item.id = d.extended ? r.dword() : r.word();
        item.windowClass = r.name();
        item.title = r.name();
        const uint16_t extra = r.word();
        // The old layout counts the size word itself in a non-zero extra size.
        const size_t extraBytes = d.extended ? extra : (extra >= 2 ? extra - 2u : 0u);
        item.creationData = r.bytes(extraBytes);
        d.items.push_back(std::move(item));
    }
    return r.ok();
}

std::vector<uint8_t> BuildDialogTemplate(const DialogTemplate& d) {
    Writer w;
    w.word(1);
    w.word(0xFFFF);
    w.dword(d.helpId);
    w.dword(d.exStyle);
    w.dword(d.style);
    w.word(uint16_t(d.items.size()));
    for (int16_t v : {d.x, d.y, d.cx, d.cy}) w.word(uint16_t(v));
    w.name(d.menu);
    w.name(d.windowClass);
    w.text(d.title);
    if (d.style & DS_SETFONT) {
        w.word(d.pointSize);
        w.word(d.weight);
        w.bytes().push_back(d.italic ? 1 : 0);
        w.bytes().push_back(d.charset);
        w.text(d.typeface);
    }
    for (const DialogItemTemplate& item : d.items) {
        w.align4();
        w.dword(item.helpId);
        w.dword(item.exStyle);
        w.dword(item.style);
        for (int16_t v : {item.x, item.y, item.cx, item.cy}) w.word(uint16_t(v));
        w.dword(item.id);
        w.name(item.windowClass);
        w.name(item.title);
        w.word(uint16_t(item.creationData.size()));
        w.bytes().insert(w.bytes().end(), item.creationData.begin(), item.creationData.end());
    }
    return w.take();
}

const wchar_t* PredefinedClassName(uint16_t ordinal) {
    switch (ordinal) {
    case 0x80:
        return L"Button";
    case 0x81:
        return L"Edit";
    case 0x82:
        return L"Static";
    case 0x83:
        return L"ListBox";
    case 0x84:
        return L"ScrollBar";
    case 0x85:
        return L"ComboBox";
    default:
        return nullptr;
    }
}

} // namespace platform
