// Resources of modules: FindResourceW, LoadResource, SizeofResource, LockResource in this executable
// (its .rc compiled at build time) and in a shared library loaded with dlopen.
#include <dlfcn.h>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32/fault_injection.h"
#include "tests/build_paths.h"

namespace {

std::string fileText(const char* name) {
    std::ifstream in(std::string(kResourcesTestDir) + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The bytes of a resource, or "<missing>" with the last error.
std::string resourceText(HMODULE module, LPCWSTR name, LPCWSTR type) {
    HRSRC info = FindResourceW(module, name, type);
    if (!info) return "<missing " + std::to_string(GetLastError()) + ">";
    HGLOBAL loaded = LoadResource(module, info);
    EXPECT_NE(loaded, nullptr);
    const void* data = LockResource(loaded);
    EXPECT_NE(data, nullptr);
    return std::string(static_cast<const char*>(data), SizeofResource(module, info));
}

std::string missing(DWORD error) {
    return "<missing " + std::to_string(error) + ">";
}

void localFunction() {}

TEST(Resources, ExecutableResourcesByIdNameAndType) {
    EXPECT_EQ(resourceText(nullptr, MAKEINTRESOURCEW(1), RT_RCDATA), fileText("resources_test.txt"));
    EXPECT_EQ(resourceText(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), RT_RCDATA),
              fileText("resources_test.txt"));
    EXPECT_EQ(resourceText(nullptr, L"#2", RT_RCDATA), std::string("exe\x01\x00", 5));
    // Names and types are not case-sensitive; integers and names never match each other.
    EXPECT_EQ(resourceText(nullptr, L"named", L"CUSTOM"), "named");
    EXPECT_EQ(resourceText(nullptr, L"NAMED", L"custom"), "named");
    EXPECT_EQ(resourceText(nullptr, MAKEINTRESOURCEW(9), RT_RCDATA), missing(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(resourceText(nullptr, L"1", RT_RCDATA), missing(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(resourceText(nullptr, MAKEINTRESOURCEW(1), RT_ICON), missing(ERROR_RESOURCE_TYPE_NOT_FOUND));
}

TEST(Resources, EmptyResourceHasSizeZeroAndStillLoads) {
    HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(3), RT_RCDATA);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, info), 0u);
    EXPECT_NE(LockResource(LoadResource(nullptr, info)), nullptr);
    EXPECT_FALSE(FreeResource(LoadResource(nullptr, info)));
}

TEST(Resources, ExecutableHandleIsItsLoadAddress) {
    Dl_info info;
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&localFunction), &info), 0);
    EXPECT_EQ(GetModuleHandleW(nullptr), static_cast<HMODULE>(info.dli_fbase));
    HMODULE fromAddress = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                   reinterpret_cast<LPCWSTR>(&localFunction), &fromAddress));
    EXPECT_EQ(fromAddress, GetModuleHandleW(nullptr));
}

TEST(Resources, SharedLibraryHasItsOwnTableWhileLoaded) {
    void* library = dlopen(kResourcesTestModule, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto handleOf = reinterpret_cast<HMODULE (*)()>(dlsym(library, "ResourcesTestModuleHandle"));
    ASSERT_NE(handleOf, nullptr);
    HMODULE module = handleOf();
    ASSERT_NE(module, nullptr);
    EXPECT_NE(module, GetModuleHandleW(nullptr));
    EXPECT_EQ(GetModuleHandleW(L"libresources_test_module.so"), module);
    EXPECT_EQ(GetModuleHandleW(L"LIBRESOURCES_TEST_MODULE"), module); // ".so" is implied

    EXPECT_EQ(resourceText(module, MAKEINTRESOURCEW(1), RT_RCDATA), "module");
    EXPECT_EQ(resourceText(module, MAKEINTRESOURCEW(5), RT_RCDATA), "only in the module");
    EXPECT_EQ(resourceText(module, MAKEINTRESOURCEW(2), RT_RCDATA), missing(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(resourceText(nullptr, MAKEINTRESOURCEW(5), RT_RCDATA), missing(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(resourceText(nullptr, MAKEINTRESOURCEW(1), RT_RCDATA), fileText("resources_test.txt"));

    // Once the library is unloaded, its table is gone and old handles are refused.
    HRSRC stale = FindResourceW(module, MAKEINTRESOURCEW(1), RT_RCDATA);
    ASSERT_NE(stale, nullptr);
    ASSERT_EQ(dlclose(library), 0);
    EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(1), RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
    EXPECT_EQ(LoadResource(module, stale), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SizeofResource(module, stale), 0u);
}

TEST(Resources, CallerMistakesAreRefused) {
    int notAResource = 0;
    EXPECT_EQ(LoadResource(nullptr, reinterpret_cast<HRSRC>(&notAResource)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
    EXPECT_EQ(FindResourceW(nullptr, nullptr, RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetModuleHandleW(L"no_such_module.so"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(GetModuleHandleExW(0, nullptr, nullptr));
    HMODULE m = reinterpret_cast<HMODULE>(1);
    EXPECT_FALSE(
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(16), &m));
    EXPECT_EQ(m, nullptr);
}

TEST(Resources, EachStepCanBeFailedOnPurpose) {
    HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_RCDATA);
    ASSERT_NE(info, nullptr);
    {
        platform::ScopedFault fault("FindResourceW", HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND));
        EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_RCDATA), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
        EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_RCDATA), nullptr); // count 1
    }
    {
        platform::ScopedFault fault("LoadResource", E_OUTOFMEMORY);
        EXPECT_EQ(LoadResource(nullptr, info), nullptr);
    }
    {
        platform::ScopedFault fault("SizeofResource", E_FAIL);
        EXPECT_EQ(SizeofResource(nullptr, info), 0u);
    }
    {
        platform::ScopedFault fault("LockResource", E_FAIL);
        EXPECT_EQ(LockResource(LoadResource(nullptr, info)), nullptr);
    }
    EXPECT_NE(LockResource(LoadResource(nullptr, info)), nullptr);
}

} // namespace
