// CreateFontIndirectW, CreateDIBSection, DeleteObject and GetObjectW.
#include "platform/win32/fonts.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/win32/fault_injection.h"

namespace platform {
namespace {

struct GdiObject {
    virtual ~GdiObject() = default;
};

struct Font : GdiObject {
    LOGFONTW description{};
};

struct Bitmap : GdiObject {
    LONG width = 0, height = 0; // height negative: top-down rows
    std::vector<uint32_t> pixels;
};

struct Objects {
    std::mutex mutex;
    std::set<GdiObject*> live;
};

Objects& objects() {
    static auto* o = new Objects;
    return *o;
}

template <class T>
T* find(HANDLE h) {
    auto& o = objects();
    std::lock_guard lock(o.mutex);
    auto* object = static_cast<GdiObject*>(h);
    return h && o.live.count(object) ? dynamic_cast<T*>(object) : nullptr;
}

HANDLE adopt(std::unique_ptr<GdiObject> object) {
    auto& o = objects();
    std::lock_guard lock(o.mutex);
    GdiObject* raw = object.release();
    o.live.insert(raw);
    return raw;
}

} // namespace

FontMetrics ModelFontMetrics(const LOGFONTW& font) {
    const double h = font.lfHeight < 0 ? -double(font.lfHeight) : font.lfHeight > 0 ? font.lfHeight / 1.2 : 11.0;
    return FontMetrics{LONG(std::lround(1.2 * h)), LONG(std::lround(0.55 * h))};
}

bool GetFontMetrics(HFONT font, FontMetrics& metrics) {
    const Font* f = find<Font>(font);
    if (!f) return false;
    metrics = ModelFontMetrics(f->description);
    return true;
}

size_t LiveGdiObjectCount() {
    auto& o = objects();
    std::lock_guard lock(o.mutex);
    return o.live.size();
}

} // namespace platform

HFONT WINAPI CreateFontIndirectW(const LOGFONTW* description) {
    if (!description) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (FAILED(platform::InjectedFault("CreateFontIndirectW"))) return nullptr;
    auto font = std::make_unique<platform::Font>();
    font->description = *description;
    font->description.lfFaceName[LF_FACESIZE - 1] = L'\0';
    return static_cast<HFONT>(platform::adopt(std::move(font)));
}

HBITMAP WINAPI CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
    if (bits) *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS || section || info->bmiHeader.biBitCount != 32 ||
        info->bmiHeader.biCompression != BI_RGB || info->bmiHeader.biWidth <= 0 || info->bmiHeader.biHeight == 0 ||
        info->bmiHeader.biWidth > 16384 || std::abs(info->bmiHeader.biHeight) > 16384) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (FAILED(platform::InjectedFault("CreateDIBSection"))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto bitmap = std::make_unique<platform::Bitmap>();
    bitmap->width = info->bmiHeader.biWidth;
    bitmap->height = info->bmiHeader.biHeight;
    bitmap->pixels.assign(size_t(bitmap->width) * size_t(std::abs(bitmap->height)), 0);
    if (bits) *bits = bitmap->pixels.data();
    return static_cast<HBITMAP>(platform::adopt(std::move(bitmap)));
}

BOOL WINAPI DeleteObject(HGDIOBJ handle) {
    auto& o = platform::objects();
    std::lock_guard lock(o.mutex);
    auto* object = static_cast<platform::GdiObject*>(handle);
    if (!handle || !o.live.erase(object)) return FALSE;
    delete object;
    return TRUE;
}

int WINAPI GetObjectW(HANDLE handle, int size, LPVOID out) {
    if (const platform::Font* f = platform::find<platform::Font>(handle)) {
        if (!out) return int(sizeof(LOGFONTW));
        const int n = std::min<int>(size, int(sizeof(LOGFONTW)));
        std::memcpy(out, &f->description, size_t(std::max(n, 0)));
        return n;
    }
    if (platform::Bitmap* b = platform::find<platform::Bitmap>(handle)) {
        BITMAP bm{0, b->width, b->height, b->width * 4, 1, 32, b->pixels.data()};
        if (!out) return int(sizeof(BITMAP));
        const int n = std::min<int>(size, int(sizeof(BITMAP)));
        std::memcpy(out, &bm, size_t(std::max(n, 0)));
        return n;
    }
    return 0;
}
