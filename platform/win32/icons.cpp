// LoadIconW, LoadImageW, LookupIconIdFromDirectoryEx, CreateIconFromResourceEx, DestroyIcon.
#include "platform/win32/icons.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <tuple>

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"

namespace {

struct Icon {
    platform::IconPicture picture;
    bool shared = false;
};

struct IconTable {
    std::mutex mutex;
    std::set<Icon*> live;
    // Shared icons by module, name (an integer resource, or a string) and size.
    std::map<std::tuple<HINSTANCE, std::wstring, int, int>, Icon*> shared;
};

// Never destroyed: shared icons live as long as the process.
IconTable& table() {
    static auto* t = new IconTable;
    return *t;
}

uint16_t word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t dword(const uint8_t* p) {
    return word(p) | (static_cast<uint32_t>(word(p + 2)) << 16);
}

HICON adopt(std::unique_ptr<Icon> icon) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    Icon* raw = icon.release();
    t.live.insert(raw);
    return reinterpret_cast<HICON>(raw);
}

// The DIB of an icon image (BITMAPINFOHEADER, palette, colour rows, mask rows) as a picture.
bool decodeDib(const uint8_t* p, size_t size, platform::IconPicture& out) {
    if (size < 40 || dword(p) < 40) return false;
    const uint32_t header = dword(p);
    const int32_t width = static_cast<int32_t>(dword(p + 4));
    const int32_t doubleHeight = static_cast<int32_t>(dword(p + 8));
    const uint16_t bits = word(p + 14);
    const uint32_t compression = dword(p + 16);
    uint32_t colours = dword(p + 32);
    if (width <= 0 || width > 1024 || doubleHeight <= 0 || doubleHeight > 2048 || doubleHeight % 2)
        return false;
    if (compression != 0) return false; // BI_RGB only
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    const int height = doubleHeight / 2;
    if (bits <= 8 && (colours == 0 || colours > (1u << bits))) colours = 1u << bits;
    if (bits > 8) colours = 0;
    const size_t paletteAt = header, pixelsAt = paletteAt + size_t(colours) * 4;
    const size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
    const size_t maskStride = ((size_t(width) + 31) / 32) * 4;
    const size_t maskAt = pixelsAt + stride * size_t(height);
    const bool hasMask = maskAt + maskStride * size_t(height) <= size;
    if (maskAt > size) return false;

    out.width = width;
    out.height = height;
    out.rgba.assign(size_t(width) * size_t(height) * 4, 0);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = p + pixelsAt + stride * size_t(height - 1 - y); // rows are bottom-up
        for (int x = 0; x < width; ++x) {
            uint8_t* px = &out.rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            if (bits == 32 || bits == 24) {
                const uint8_t* s = row + size_t(x) * (bits / 8);
                px[0] = s[2], px[1] = s[1], px[2] = s[0];
                px[3] = bits == 32 ? s[3] : 255;
                anyAlpha = anyAlpha || (bits == 32 && s[3] != 0);
            } else {
                const size_t bit = size_t(x) * bits;
                const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                const uint8_t* c = p + paletteAt + 4 * std::min<uint32_t>(index, colours - 1);
                px[0] = c[2], px[1] = c[1], px[2] = c[0], px[3] = 255;
            }
        }
    }
    // A 32-bit image without any alpha, and every other depth, takes its transparency from the mask.
    if (hasMask && !(bits == 32 && anyAlpha)) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = p + maskAt + maskStride * size_t(height - 1 - y);
            for (int x = 0; x < width; ++x) {
                const bool transparent = (row[x / 8] >> (7 - x % 8)) & 1;
                out.rgba[(size_t(y) * size_t(width) + size_t(x)) * 4 + 3] = transparent ? 0 : 255;
            }
        }
    } else if (bits == 32 && !anyAlpha) {
        for (size_t i = 3; i < out.rgba.size(); i += 4) out.rgba[i] = 255;
    }
    return true;
}

// Nearest-neighbour resampling to the size asked for, as a stretched icon is drawn.
platform::IconPicture resize(const platform::IconPicture& in, int width, int height) {
    platform::IconPicture out;
    out.width = width;
    out.height = height;
    out.rgba.resize(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int sx = x * in.width / width, sy = y * in.height / height;
            std::copy_n(&in.rgba[(size_t(sy) * size_t(in.width) + size_t(sx)) * 4], 4,
                        &out.rgba[(size_t(y) * size_t(width) + size_t(x)) * 4]);
        }
    return out;
}

// The best entry of a directory for a size: an exact size first, then the nearest larger, then the
// nearest smaller; among equal sizes the most colours. `entry` gives each entry's width, height and
// bit count. Returns the index, or -1.
template <class Entry>
int bestEntry(int count, int cx, int cy, Entry entry) {
    int best = -1;
    long bestScore = 0;
    for (int i = 0; i < count; ++i) {
        auto [w, h, bits] = entry(i);
        const long dw = long(w) - cx, dh = long(h) - cy;
        const long distance = (dw < 0 ? -dw * 4 : dw) + (dh < 0 ? -dh * 4 : dh); // smaller is worse
        const long score = distance * 64 - bits;
        if (best < 0 || score < bestScore) {
            best = i;
            bestScore = score;
        }
    }
    return best;
}

int desiredSize(int requested, UINT flags, int metric) {
    return requested != 0 ? requested : (flags & LR_DEFAULTSIZE) ? GetSystemMetrics(metric) : 0;
}

HICON loadFromFile(LPCWSTR path, int cx, int cy, UINT flags) {
    std::ifstream in(platform::ToUtf8(path), std::ios::binary);
    if (!in) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < 6 || word(&file[0]) != 0 || word(&file[2]) != 1) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    const int count = word(&file[4]);
    if (count == 0 || file.size() < 6 + size_t(count) * 16) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    cx = desiredSize(cx, flags, SM_CXICON);
    cy = desiredSize(cy, flags, SM_CYICON);
    const int pick = bestEntry(count, cx ? cx : 32, cy ? cy : 32, [&](int i) {
        const uint8_t* e = &file[6 + size_t(i) * 16];
        return std::tuple<int, int, int>(e[0] ? e[0] : 256, e[1] ? e[1] : 256, word(e + 6));
    });
    const uint8_t* e = &file[6 + size_t(pick) * 16];
    const uint32_t bytes = dword(e + 8), offset = dword(e + 12);
    if (offset > file.size() || bytes > file.size() - offset) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return CreateIconFromResourceEx(&file[offset], bytes, TRUE, 0x00030000, cx, cy, 0);
}

} // namespace

namespace platform {

bool GetIconPicture(HICON icon, IconPicture& picture) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto* i = reinterpret_cast<Icon*>(icon);
    if (!icon || !t.live.count(i)) return false;
    picture = i->picture;
    return true;
}

size_t LiveIconCount() {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    size_t n = 0;
    for (Icon* i : t.live) n += i->shared ? 0 : 1;
    return n;
}

} // namespace platform

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return 1920;
    case SM_CYSCREEN:
        return 1080;
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    default:
        return 0;
    }
}

int WINAPI LookupIconIdFromDirectoryEx(PBYTE dir, BOOL icon, int cx, int cy, UINT flags) {
    if (!dir || word(dir) != 0 || word(dir + 2) != (icon ? 1 : 2)) return 0;
    const int count = word(dir + 4);
    if (count == 0) return 0;
    cx = desiredSize(cx, flags, SM_CXICON);
    cy = desiredSize(cy, flags, SM_CYICON);
    const int pick = bestEntry(count, cx ? cx : 32, cy ? cy : 32, [&](int i) {
        const uint8_t* e = dir + 6 + i * 14;
        return std::tuple<int, int, int>(e[0] ? e[0] : 256, e[1] ? e[1] : 256, word(e + 6));
    });
    return word(dir + 6 + pick * 14 + 12);
}

HICON WINAPI CreateIconFromResourceEx(PBYTE bits, DWORD size, BOOL icon, DWORD, int cx, int cy, UINT) {
    if (!bits || !icon) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (FAILED(platform::InjectedFault("CreateIconFromResourceEx"))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto result = std::make_unique<Icon>();
    if (!decodeDib(bits, size, result->picture)) {
        WARN("win32", "not an icon image this platform reads (%u bytes)", unsigned(size));
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    if ((cx && cx != result->picture.width) || (cy && cy != result->picture.height))
        result->picture =
            resize(result->picture, cx ? cx : result->picture.width, cy ? cy : result->picture.height);
    return adopt(std::move(result));
}

HANDLE WINAPI LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (type != IMAGE_ICON) {
        FIXME("win32", "LoadImageW of image type %u (issue 11 builds icons only)", type);
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (flags & LR_LOADFROMFILE) return loadFromFile(name, cx, cy, flags);
    cx = desiredSize(cx, flags, SM_CXICON);
    cy = desiredSize(cy, flags, SM_CYICON);
    auto& t = table();
    const auto key = std::make_tuple(
        instance,
        IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : std::wstring(name),
        cx, cy);
    if (flags & LR_SHARED) {
        std::lock_guard lock(t.mutex);
        if (auto it = t.shared.find(key); it != t.shared.end()) return reinterpret_cast<HICON>(it->second);
    }
    HRSRC group = FindResourceW(instance, name, RT_GROUP_ICON);
    if (!group) return nullptr;
    auto* dir = static_cast<PBYTE>(LockResource(LoadResource(instance, group)));
    const DWORD dirSize = SizeofResource(instance, group);
    if (!dir || dirSize < 6 || dirSize < 6 + size_t(word(dir + 4)) * 14) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    const int id = LookupIconIdFromDirectoryEx(dir, TRUE, cx ? cx : 32, cy ? cy : 32, 0);
    HRSRC image = id ? FindResourceW(instance, MAKEINTRESOURCEW(id), RT_ICON) : nullptr;
    if (!image) return nullptr;
    HICON icon = CreateIconFromResourceEx(static_cast<PBYTE>(LockResource(LoadResource(instance, image))),
                                          SizeofResource(instance, image), TRUE, 0x00030000, cx, cy, 0);
    if (!icon || !(flags & LR_SHARED)) return icon;
    std::lock_guard lock(t.mutex);
    auto [it, inserted] = t.shared.try_emplace(key, reinterpret_cast<Icon*>(icon));
    it->second->shared = true;
    if (!inserted) { // another thread loaded it first
        t.live.erase(reinterpret_cast<Icon*>(icon));
        delete reinterpret_cast<Icon*>(icon);
    }
    return reinterpret_cast<HICON>(it->second);
}

HICON WINAPI LoadIconW(HINSTANCE instance, LPCWSTR name) {
    return static_cast<HICON>(LoadImageW(instance, name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

BOOL WINAPI DestroyIcon(HICON icon) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto* i = reinterpret_cast<Icon*>(icon);
    if (!icon || !t.live.count(i)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (i->shared) return TRUE; // shared icons belong to the system
    t.live.erase(i);
    delete i;
    return TRUE;
}
