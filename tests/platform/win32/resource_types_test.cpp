// Strings, icons and version blocks of a module, read through LoadStringW, LoadIconW/LoadImageW and
// GetFileVersionInfoW/VerQueryValueW from the resources the resource compiler wrote for
// resources_test_module.rc.
#include <dlfcn.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32/fault_injection.h"
#include "platform/win32/icons.h"
#include "tests/build_paths.h"

namespace {

class ModuleResources : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = dlopen(kResourcesTestModule, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        module_ = GetModuleHandleW(L"libresources_test_module.so");
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override {
        if (library_) dlclose(library_);
    }
    std::wstring string(UINT id) {
        wchar_t buffer[64];
        int n = LoadStringW(module_, id, buffer, 64);
        EXPECT_EQ(n, int(wcslen(buffer)));
        return buffer;
    }
    void* library_ = nullptr;
    HMODULE module_ = nullptr;
};

TEST_F(ModuleResources, StringsFromTheirBlocks) {
    EXPECT_EQ(string(1), L"first");
    EXPECT_EQ(string(17), L"seventeen joined");
    EXPECT_EQ(string(103), L"Expansion Mode");
    EXPECT_EQ(string(104), L"\x263A wide");
    // An empty slot of a block that exists, and a block that does not.
    EXPECT_EQ(string(2), L"");
    EXPECT_EQ(string(500), L"");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));

    // A short buffer keeps what fits and its terminator.
    wchar_t small[5];
    EXPECT_EQ(LoadStringW(module_, 103, small, 5), 4);
    EXPECT_STREQ(small, L"Expa");
    // With no buffer length, a pointer to the string itself.
    const wchar_t* direct = nullptr;
    EXPECT_EQ(LoadStringW(module_, 103, reinterpret_cast<LPWSTR>(&direct), 0), 14);
    ASSERT_NE(direct, nullptr);
    EXPECT_EQ(std::wstring(direct, 14), L"Expansion Mode");
    EXPECT_EQ(LoadStringW(module_, 103, nullptr, 10), 0);
}

// The colour of a pixel, as "r,g,b,a".
std::string pixel(const platform::IconPicture& p, int x, int y) {
    const uint8_t* c = &p.rgba[(size_t(y) * size_t(p.width) + size_t(x)) * 4];
    return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]) + "," +
           std::to_string(c[3]);
}

TEST_F(ModuleResources, IconsPickTheImageForTheSizeAndKeepTransparency) {
    // LoadIconW wants the system size, 32 x 32: the 32-bit image with its alpha.
    HICON large = LoadIconW(module_, MAKEINTRESOURCEW(7));
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(LoadIconW(module_, MAKEINTRESOURCEW(7)), large); // shared
    platform::IconPicture p;
    ASSERT_TRUE(platform::GetIconPicture(large, p));
    EXPECT_EQ(p.width, 32);
    EXPECT_EQ(p.height, 32);
    EXPECT_EQ(pixel(p, 0, 0), "0,200,0,0");
    EXPECT_EQ(pixel(p, 31, 0), "0,200,0,255");
    EXPECT_EQ(pixel(p, 0, 31), "0,200,0,255");

    // 16 x 16 finds the paletted image: rows top down, the masked top row transparent.
    auto small = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(7), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(small, nullptr);
    ASSERT_TRUE(platform::GetIconPicture(small, p));
    EXPECT_EQ(p.width, 16);
    EXPECT_EQ(pixel(p, 0, 0), "255,0,0,0");
    EXPECT_EQ(pixel(p, 3, 5), "255,0,0,255");
    EXPECT_EQ(pixel(p, 12, 15), "0,0,255,255");
    const size_t before = platform::LiveIconCount();
    EXPECT_TRUE(DestroyIcon(small));
    EXPECT_EQ(platform::LiveIconCount(), before - 1);
    EXPECT_FALSE(DestroyIcon(small));
    EXPECT_TRUE(DestroyIcon(large)); // shared: stays usable
    EXPECT_TRUE(platform::GetIconPicture(large, p));

    // Another size is stretched from the nearest image.
    auto stretched = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(7), IMAGE_ICON, 64, 64, 0));
    ASSERT_TRUE(platform::GetIconPicture(stretched, p));
    EXPECT_EQ(p.width, 64);
    EXPECT_EQ(pixel(p, 20, 20), "0,200,0,0");
    DestroyIcon(stretched);

    EXPECT_EQ(LoadIconW(module_, MAKEINTRESOURCEW(8)), nullptr);
    {
        platform::ScopedFault fault("CreateIconFromResourceEx", E_OUTOFMEMORY);
        EXPECT_EQ(LoadImageW(module_, MAKEINTRESOURCEW(7), IMAGE_ICON, 16, 16, 0), nullptr);
    }
}

TEST_F(ModuleResources, IconFilesLoadLikeIconResources) {
    const std::wstring path = std::wstring(kResourcesTestDirW) + L"/resources_test.ico";
    auto icon = static_cast<HICON>(
        LoadImageW(nullptr, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
    platform::IconPicture p;
    ASSERT_TRUE(platform::GetIconPicture(icon, p));
    EXPECT_EQ(p.width, 32);
    DestroyIcon(icon);
    EXPECT_EQ(LoadImageW(nullptr, L"/nonexistent.ico", IMAGE_ICON, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

// Reads the module's version block into a buffer as an application does.
std::vector<uint8_t> versionBlock(const std::wstring& path) {
    DWORD handle = 7;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    std::vector<uint8_t> block(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) block.clear();
    return block;
}

std::wstring textValue(const std::vector<uint8_t>& block, const wchar_t* path) {
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path, &value, &length)) return L"<none>";
    auto* text = static_cast<const wchar_t*>(value);
    EXPECT_EQ(length, wcslen(text) + 1);
    return text;
}

TEST_F(ModuleResources, VersionBlockAnswersFixedTextAndBinaryQueries) {
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(module_, path, MAX_PATH), 0u);
    std::vector<uint8_t> block = versionBlock(path);
    ASSERT_FALSE(block.empty());

    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00040003u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00020001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00030001u);
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_DLL));

    EXPECT_EQ(textValue(block, L"\\StringFileInfo\\040904b0\\ProductName"), L"unfold \xe9");
    EXPECT_EQ(textValue(block, L"\\stringfileinfo\\040904B0\\productname"), L"unfold \xe9");
    EXPECT_EQ(textValue(block, L"\\StringFileInfo\\040904b0\\Comments"), L"");
    EXPECT_EQ(textValue(block, L"\\StringFileInfo\\040904b0\\Missing"), L"<none>");
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x409);
    EXPECT_EQ(static_cast<const WORD*>(value)[1], 1200);

    // A buffer smaller than the size asked for is refused, not overrun.
    std::vector<uint8_t> small(block.size() - 1);
    EXPECT_FALSE(GetFileVersionInfoW(path, 0, DWORD(small.size()), small.data()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

TEST(VersionInfo, ModulesNotLoadedAndFilesWithoutABlock) {
    // The test module's file, read while it is not loaded.
    const std::wstring modulePath = kResourcesTestModuleW;
    ASSERT_EQ(GetModuleHandleW(modulePath.c_str()), nullptr);
    std::vector<uint8_t> block = versionBlock(modulePath);
    ASSERT_FALSE(block.empty());
    EXPECT_EQ(textValue(block, L"\\StringFileInfo\\040904b0\\ProductName"), L"unfold \xe9");
    EXPECT_EQ(GetModuleHandleW(modulePath.c_str()), nullptr);

    // This executable has resources but no version block; a missing file has nothing.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(GetFileVersionInfoSizeW(self, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(GetFileVersionInfoSizeW(L"/no/such/file.so", nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(VersionInfo, DamagedBlocksAreRefused) {
    // A 40-byte root whose child claims to run past it, and a root too short for its key.
    uint8_t overlong[40] = {40, 0, 0, 0, 0, 0, 'V', 0, 0, 0, 0, 0, 200, 0, 0, 0, 1, 0, 'S', 0, 0, 0};
    LPVOID value = nullptr;
    UINT length = 0;
    EXPECT_FALSE(VerQueryValueW(overlong, L"\\S", &value, &length));
    uint8_t keyless[8] = {8, 0, 0, 0, 0, 0, 'V', 0};
    EXPECT_FALSE(VerQueryValueW(keyless, L"\\", &value, &length));
    EXPECT_FALSE(VerQueryValueW(nullptr, L"\\", &value, &length));
}

} // namespace
