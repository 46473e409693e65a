#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/debug.h"
#include "platform/win32/fault_injection.h"
#include "platform/win32/registry.h"
#include "tests/platform/win32/temp_registry.h"
#include "tests/processor_time.h"

namespace {

using platform::testing::TempRegistry;

LSTATUS setString(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

LSTATUS setDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::wstring getString(HKEY key, const wchar_t* name) {
    WCHAR buffer[256] = {};
    DWORD size = sizeof buffer, type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return L"<missing>";
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    return buffer;
}

DWORD getDword(HKEY key, const wchar_t* name) {
    DWORD value = 0xDEADBEEF, size = sizeof value;
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    return value;
}

HKEY create(HKEY root, const wchar_t* path, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition),
              ERROR_SUCCESS);
    return key;
}

class RegistryTest : public ::testing::Test {
protected:
    TempRegistry registry;
};

TEST_F(RegistryTest, ValuesRoundTripWithWindowsSizeRules) {
    DWORD disposition = 0;
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Halvern\\Cam", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    ASSERT_EQ(setString(key, L"Name", L"TELMAR ZK900 4K"), ERROR_SUCCESS);
    ASSERT_EQ(setString(key, nullptr, L"default text"), ERROR_SUCCESS);
    ASSERT_EQ(setDword(key, L"Width", 1440), ERROR_SUCCESS);
    const BYTE blob[] = {0, 1, 2, 0xFE, 0xFF};
    ASSERT_EQ(RegSetValueExW(key, L"Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);

    EXPECT_EQ(getString(key, L"name"), L"TELMAR ZK900 4K"); // names ignore case
    EXPECT_EQ(getString(key, L""), L"default text");
    EXPECT_EQ(getDword(key, L"Width"), 1440u);

    // Size query, too-small buffer, exact buffer.
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"Blob", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, sizeof blob);
    BYTE small[2];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(key, L"Blob", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof blob);
    BYTE exact[sizeof blob];
    EXPECT_EQ(RegQueryValueExW(key, L"Blob", nullptr, nullptr, exact, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::memcmp(exact, blob, sizeof blob), 0);
    EXPECT_EQ(RegQueryValueExW(key, L"Blob", nullptr, nullptr, exact, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(key, L"Nothing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

    // Values enumerate in the order they were set.
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
        WCHAR name[64];
        DWORD chars = 64;
        LSTATUS status = RegEnumValueW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        EXPECT_EQ(chars, std::wcslen(name));
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Name", L"", L"Width", L"Blob"}));

    EXPECT_EQ(RegDeleteValueW(key, L"Width"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, L"Width"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

    // A second create opens the existing key; open of a missing key fails.
    key = create(HKEY_CURRENT_USER, L"Software\\Halvern\\Cam", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(getString(key, L"Name"), L"TELMAR ZK900 4K");
    RegCloseKey(key);
    HKEY missing = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Nobody", 0, KEY_READ, &missing),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, KeysEnumerateDeleteAndGoStale) {
    HKEY root = create(HKEY_CLASSES_ROOT, L"CLSID");
    RegCloseKey(create(root, L"{B}\\InprocServer32"));
    RegCloseKey(create(root, L"{a}"));
    RegCloseKey(create(root, L"{C}"));

    std::vector<std::wstring> names;
    WCHAR name[8];
    for (DWORD i = 0;; ++i) {
        DWORD chars = 8;
        LSTATUS status = RegEnumKeyExW(root, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"{a}", L"{B}", L"{C}"}));
    DWORD tooShort = 3;
    EXPECT_EQ(RegEnumKeyExW(root, 0, name, &tooShort, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

    HKEY b = nullptr;
    ASSERT_EQ(RegOpenKeyExW(root, L"{b}", 0, KEY_READ, &b), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(root, L"{B}"), ERROR_ACCESS_DENIED); // it has a subkey
    EXPECT_EQ(RegDeleteTreeW(root, L"{B}"), ERROR_SUCCESS);
    EXPECT_EQ(setString(b, L"x", L"y"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteTreeW(root, L"{B}"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(root, L"{a}"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, L""), ERROR_ACCESS_DENIED);
    RegCloseKey(b);

    // A null subkey empties the key itself.
    EXPECT_EQ(setString(root, L"v", L"w"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeW(root, nullptr), ERROR_SUCCESS);
    DWORD chars = 8;
    EXPECT_EQ(RegEnumKeyExW(root, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(getString(root, L"v"), L"<missing>");
    RegCloseKey(root);
}

TEST_F(RegistryTest, WritesTheRegistryExportFormat) {
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Halvern\\TELMAR_ZK900_4K_UVC");
    setString(key, nullptr, L"say \"hi\" C:\\x");
    setDword(key, L"Width", 0x5a0);
    std::vector<BYTE> blob(40);
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<BYTE>(i);
    RegSetValueExW(key, L"Data", 0, REG_BINARY, blob.data(), static_cast<DWORD>(blob.size()));
    std::wstring multi = L"a";
    multi += L'\0';
    multi += L'\0';
    RegSetValueExW(key, L"List", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi.data()),
                   static_cast<DWORD>(multi.size() * sizeof(WCHAR)));
    RegCloseKey(key);

    EXPECT_EQ(registry.read("HKEY_CURRENT_USER"),
              "Windows Registry Editor Version 5.00\n"
              "\n[HKEY_CURRENT_USER\\Software\\Halvern\\TELMAR_ZK900_4K_UVC]\n"
              "@=\"say \\\"hi\\\" C:\\\\x\"\n"
              "\"Width\"=dword:000005a0\n"
              "\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\\\n"
              "  15,16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\n"
              "\"List\"=hex(7):61,00,00,00,00,00\n");
    EXPECT_EQ(platform::RegistryHivePath(HKEY_CURRENT_USER), registry.file("HKEY_CURRENT_USER"));
}

TEST_F(RegistryTest, ReadsHandEditedFilesAndChangesMadeByOthers) {
    registry.write("HKEY_LOCAL_MACHINE", "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
                                         "; written by hand\r\n"
                                         "[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n"
                                         "\"Path\"=\"C:\\\\dir\"\r\n"
                                         "\"Bytes\"=hex:01,02,\\\r\n"
                                         "    03\r\n"
                                         "\"Text\"=hex(1):48,00,69,00,00,00\r\n"
                                         "\"Gone\"=\"x\"\r\n"
                                         "\"Gone\"=-\r\n");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Test", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(getString(key, L"Path"), L"C:\\dir");
    EXPECT_EQ(getString(key, L"Text"), L"Hi");
    EXPECT_EQ(getString(key, L"Gone"), L"<missing>");
    BYTE bytes[8];
    DWORD size = sizeof bytes;
    ASSERT_EQ(RegQueryValueExW(key, L"Bytes", nullptr, nullptr, bytes, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(bytes[2], 3);

    // Another writer replaces the file: the next read sees it.
    registry.write("HKEY_LOCAL_MACHINE", "Windows Registry Editor Version 5.00\n\n"
                                         "[HKEY_LOCAL_MACHINE\\Software\\Test]\n\"Path\"=\"elsewhere\"\n");
    EXPECT_EQ(getString(key, L"Path"), L"elsewhere");
    RegCloseKey(key);
}

TEST_F(RegistryTest, FailedSaveChangesNeitherFileNorValues) {
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Atomic");
    ASSERT_EQ(setDword(key, L"Value", 1), ERROR_SUCCESS);
    std::string before = registry.read("HKEY_CURRENT_USER");
    {
        platform::ScopedFault full("Registry.Save", HRESULT_FROM_WIN32(ERROR_CANTWRITE));
        EXPECT_EQ(setDword(key, L"Value", 2), ERROR_CANTWRITE);
    }
    EXPECT_EQ(registry.read("HKEY_CURRENT_USER"), before);
    EXPECT_EQ(getDword(key, L"Value"), 1u);
    {
        platform::ScopedFault locked("Registry.Lock", HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
        EXPECT_EQ(RegDeleteValueW(key, L"Value"), ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(getDword(key, L"Value"), 1u);
    // Only the hive and its lock file are left in the folder: no temporary files.
    for (auto& entry : std::filesystem::directory_iterator(registry.folder())) {
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "HKEY_CURRENT_USER.reg" || name == "HKEY_CURRENT_USER.reg.lock") << name;
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, EntryPointsFailOnInjectedFaults) {
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Faults");
    HKEY out = nullptr;
    {
        platform::ScopedFault f("RegOpenKeyExW", HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Faults", 0, KEY_READ, &out),
                  ERROR_ACCESS_DENIED);
    }
    {
        platform::ScopedFault f("RegCreateKeyExW", E_FAIL);
        EXPECT_EQ(RegCreateKeyExW(key, L"x", 0, nullptr, 0, 0, nullptr, &out, nullptr), ERROR_GEN_FAILURE);
    }
    {
        platform::ScopedFault f("RegQueryValueExW", HRESULT_FROM_WIN32(ERROR_CANTREAD));
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExW(key, L"", nullptr, nullptr, nullptr, &size), ERROR_CANTREAD);
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, TwoProcessesWritingUnderTheLockLoseNothing) {
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Shared");
    RegCloseKey(key);
    constexpr int kEach = 40;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    const wchar_t* prefix = child == 0 ? L"child" : L"parent";
    HKEY mine = nullptr;
    bool ok = RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Shared", 0, KEY_WRITE, &mine) == ERROR_SUCCESS;
    for (int i = 0; ok && i < kEach; ++i) {
        std::wstring name = std::wstring(prefix) + std::to_wstring(i);
        ok = setDword(mine, name.c_str(), static_cast<DWORD>(i)) == ERROR_SUCCESS;
    }
    RegCloseKey(mine);
    if (child == 0) _exit(ok ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Shared", 0, KEY_READ, &key), ERROR_SUCCESS);
    for (int i = 0; i < kEach; ++i) {
        EXPECT_EQ(getDword(key, (L"child" + std::to_wstring(i)).c_str()), static_cast<DWORD>(i));
        EXPECT_EQ(getDword(key, (L"parent" + std::to_wstring(i)).c_str()), static_cast<DWORD>(i));
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesAndDataTheFileCannotHoldAreRefused) {
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Limits");
    HKEY out = nullptr;
    auto createKey = [&](const std::wstring& path) {
        LSTATUS status = RegCreateKeyExW(key, path.c_str(), 0, nullptr, 0, 0, nullptr, &out, nullptr);
        if (status == ERROR_SUCCESS) RegCloseKey(out);
        return status;
    };
    // A line break would end the line of the hive file in the middle of the name.
    EXPECT_EQ(createKey(L"two\nlines"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(setDword(key, L"two\nlines", 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(setDword(key, L"tab\there", 1), ERROR_INVALID_PARAMETER);
    // Windows' limits: key names of 255 characters, value names of 16,383, 512 levels.
    EXPECT_EQ(createKey(std::wstring(255, L'k')), ERROR_SUCCESS);
    EXPECT_EQ(createKey(std::wstring(256, L'k')), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(setDword(key, std::wstring(16383, L'v').c_str(), 2), ERROR_SUCCESS);
    EXPECT_EQ(setDword(key, std::wstring(16384, L'v').c_str(), 2), ERROR_INVALID_PARAMETER);
    std::wstring deep;
    for (int level = 3; level <= 512; ++level) deep += L"d\\"; // below Software\Limits, levels 1 and 2
    EXPECT_EQ(createKey(deep), ERROR_SUCCESS);
    EXPECT_EQ(createKey(deep + L"d"), ERROR_INVALID_PARAMETER);
    // String data is whole WCHARs, each a Unicode character.
    const WCHAR text[] = L"abc";
    EXPECT_EQ(RegSetValueExW(key, L"part", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 6),
              ERROR_INVALID_PARAMETER);
    const WCHAR outside[] = {0x110000, 0};
    EXPECT_EQ(
        RegSetValueExW(key, L"outside", 0, REG_SZ, reinterpret_cast<const BYTE*>(outside), sizeof outside),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(setString(key, L"unicode \u00e9\U0001F600", L"\U0001F600 \"q\" \\"), ERROR_SUCCESS);
    RegCloseKey(key);

    // What was accepted reads back from a fresh read of the file, which is not damaged.
    registry.write("HKEY_CURRENT_USER", registry.read("HKEY_CURRENT_USER"));
    ::testing::internal::CaptureStderr();
    key = create(HKEY_CURRENT_USER, L"Software\\Limits");
    EXPECT_EQ(getString(key, L"unicode \u00e9\U0001F600"), L"\U0001F600 \"q\" \\");
    EXPECT_EQ(getDword(key, std::wstring(16383, L'v').c_str()), 2u);
    EXPECT_EQ(createKey(deep), ERROR_SUCCESS);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    RegCloseKey(key);
}

// Processor seconds to read a key with count subkeys and enumerate them all.
double enumerationSeconds(const platform::testing::TempRegistry& registry, int count) {
    std::string text = "Windows Registry Editor Version 5.00\n";
    for (int i = 0; i < count; ++i)
        text += "[HKEY_CURRENT_USER\\Many\\key" + std::to_string(100000 + i) + "]\n";
    registry.write("HKEY_CURRENT_USER", text);
    const double start = testing_time::ProcessorSeconds();
    HKEY many = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Many", 0, KEY_READ, &many), ERROR_SUCCESS);
    DWORD found = 0;
    WCHAR name[32];
    for (;; ++found) {
        DWORD chars = 32;
        if (RegEnumKeyExW(many, found, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (name != L"key" + std::to_wstring(100000 + found)) break;
    }
    EXPECT_EQ(found, static_cast<DWORD>(count));
    RegCloseKey(many);
    return testing_time::ProcessorSeconds() - start;
}

// Four times the subkeys take about four times as long to enumerate, not sixteen (in quadratic time
// 60,000 took minutes). The margin allows for sanitizers; the time is processor time, and each size
// takes its best of three runs, since a busy machine only ever makes a run slower.
TEST_F(RegistryTest, ManySubkeysEnumerateInLinearTime) {
    double small = 1e9, large = 1e9;
    for (int run = 0; run < 3; ++run) {
        small = std::min(small, enumerationSeconds(registry, 12000));
        large = std::min(large, enumerationSeconds(registry, 48000));
    }
    EXPECT_LT(large, 8 * small + 1.0) << small << " s, then " << large << " s";
}

TEST_F(RegistryTest, TemporaryFilesOfSavesThatDiedAreRemoved) {
    // A process that has ended, as one killed in the middle of a save would have.
    pid_t dead = fork();
    ASSERT_GE(dead, 0);
    if (dead == 0) _exit(0);
    waitpid(dead, nullptr, 0);
    std::string hive = registry.file("HKEY_CURRENT_USER");
    std::string stale = hive + ".tmp-" + std::to_string(dead) + "-140245";
    std::string live = hive + ".tmp-" + std::to_string(getppid()) + "-140245";
    std::string other = registry.file("HKEY_LOCAL_MACHINE") + ".tmp-" + std::to_string(dead) + "-1";
    for (auto& path : {stale, live, other}) std::ofstream(path) << "partial";

    ::testing::internal::CaptureStderr();
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\Saved");
    RegCloseKey(key);
    std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(std::filesystem::exists(stale)) << report;
    EXPECT_NE(report.find(stale), std::string::npos) << report;
    EXPECT_TRUE(std::filesystem::exists(live));  // its process may still be saving
    EXPECT_TRUE(std::filesystem::exists(other)); // another hive's, removed when that hive is saved
}

// With no folder named by the environment the registry falls back to a folder under TMPDIR, where
// anyone can create files: it must be this user's own.
class RegistryFallbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"UNFOLD_REGISTRY", "XDG_CONFIG_HOME", "HOME", "TMPDIR"}) {
            const char* value = std::getenv(name);
            saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
            ::unsetenv(name);
        }
        ::setenv("TMPDIR", shared_.folder().c_str(), 1);
        folder_ = shared_.folder() + "/unfold-registry-" + std::to_string(::geteuid());
    }
    void TearDown() override {
        for (auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }
    LSTATUS createKey() {
        HKEY key = nullptr;
        LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{planted}\\InprocServer32", 0, nullptr,
                                         0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (status == ERROR_SUCCESS) RegCloseKey(key);
        return status;
    }
    LSTATUS openKey() {
        HKEY key = nullptr;
        LSTATUS status = RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{planted}", 0, KEY_READ, &key);
        if (status == ERROR_SUCCESS) RegCloseKey(key);
        return status;
    }

    TempRegistry shared_; // stands for /tmp; the registry itself is not pointed here
    std::string folder_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(RegistryFallbackTest, IsCreatedPrivate) {
    EXPECT_EQ(platform::RegistryFolder(), folder_);
    ::umask(0);
    ASSERT_EQ(createKey(), ERROR_SUCCESS);
    ::umask(022);
    struct stat st {};
    ASSERT_EQ(::lstat(folder_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(openKey(), ERROR_SUCCESS);
}

TEST_F(RegistryFallbackTest, IsRefusedWhenOthersCanWriteToIt) {
    // Another user made the folder first and planted a class entry in it.
    ASSERT_EQ(::mkdir(folder_.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(folder_.c_str(), 0777), 0);
    std::ofstream(folder_ + "/HKEY_CLASSES_ROOT.reg")
        << "Windows Registry Editor Version 5.00\n\n[HKEY_CLASSES_ROOT\\CLSID\\{planted}\\InprocServer32]\n"
           "@=\"/tmp/evil.so\"\n";
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(openKey(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(createKey(), ERROR_ACCESS_DENIED);
    std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
    EXPECT_NE(report.find(folder_), std::string::npos) << report;
    EXPECT_NE(report.find("others can write to it (mode 0777)"), std::string::npos) << report;

    // A link to a folder of one's own is not the folder either.
    std::filesystem::remove_all(folder_);
    std::string mine = shared_.folder() + "/mine";
    ASSERT_EQ(::mkdir(mine.c_str(), 0700), 0);
    std::filesystem::create_directory_symlink(mine, folder_);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(createKey(), ERROR_ACCESS_DENIED);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("not a folder"), std::string::npos);
}

TEST_F(RegistryFallbackTest, IsRefusedWhenItBelongsToAnotherUser) {
    ASSERT_EQ(::mkdir(folder_.c_str(), 0700), 0);
    if (::chown(folder_.c_str(), ::geteuid() + 1, static_cast<gid_t>(-1)) != 0)
        GTEST_SKIP() << "giving a folder away needs root";
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(openKey(), ERROR_ACCESS_DENIED);
    std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("belongs to another user"), std::string::npos) << report;
}

struct DamageCase {
    const char* name;
    std::string bytes;
    std::vector<std::wstring> readable; // keys under Software that survive
};

class DamagedHiveTest : public ::testing::TestWithParam<DamageCase> {
protected:
    TempRegistry registry;
};

TEST_P(DamagedHiveTest, ReadsAllButTheDamageReportsAndKeepsTheOriginal) {
    const DamageCase& c = GetParam();
    registry.write("HKEY_CURRENT_USER", c.bytes);

    ::testing::internal::CaptureStderr();
    HKEY software = nullptr;
    LSTATUS opened = RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &software);
    std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("damaged"), std::string::npos) << report;

    std::vector<std::wstring> found;
    if (opened == ERROR_SUCCESS) {
        WCHAR name[64];
        for (DWORD i = 0;; ++i) {
            DWORD chars = 64;
            if (RegEnumKeyExW(software, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            found.push_back(name);
        }
        RegCloseKey(software);
    }
    EXPECT_EQ(found, c.readable);

    // The first save keeps the damaged original aside, byte for byte, and says so.
    ::testing::internal::CaptureStderr();
    HKEY key = create(HKEY_CURRENT_USER, L"Software\\New");
    ASSERT_EQ(setDword(key, L"v", 7), ERROR_SUCCESS);
    report = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find(".damaged"), std::string::npos) << report;
    RegCloseKey(key);
    std::ifstream kept(registry.file("HKEY_CURRENT_USER") + ".damaged", std::ios::binary);
    std::stringstream keptBytes;
    keptBytes << kept.rdbuf();
    EXPECT_EQ(keptBytes.str(), c.bytes);
    // The new file holds what was readable plus the change, and reads back cleanly.
    std::string saved = registry.read("HKEY_CURRENT_USER");
    for (auto& k : c.readable) EXPECT_NE(saved.find(platform::ToUtf8(k)), std::string::npos);
    EXPECT_NE(saved.find("\"v\"=dword:00000007"), std::string::npos);
}

const std::string kGood = "Windows Registry Editor Version 5.00\n\n"
                          "[HKEY_CURRENT_USER\\Software\\A]\n\"x\"=dword:00000001\n\n"
                          "[HKEY_CURRENT_USER\\Software\\B]\n\"y\"=\"text\"\n\n"
                          "[HKEY_CURRENT_USER\\Software\\C]\n\"z\"=hex:01,02\n";

INSTANTIATE_TEST_SUITE_P(
    Registry, DamagedHiveTest,
    ::testing::Values(
        DamageCase{"CutInsideADword", kGood.substr(0, kGood.find("dword:") + 9), {L"A"}},
        DamageCase{"CutInsideAString", kGood.substr(0, kGood.find("text") + 2), {L"A", L"B"}},
        DamageCase{"CutInsideAKeyLine", kGood.substr(0, kGood.find("Software\\C") + 5), {L"A", L"B"}},
        DamageCase{"GarbageLine",
                   kGood.substr(0, kGood.find("[HKEY_CURRENT_USER\\Software\\B")) + "\x01\x02garbage\xff\n" +
                       kGood.substr(kGood.find("[HKEY_CURRENT_USER\\Software\\B")),
                   {L"A", L"B", L"C"}},
        DamageCase{"NulByte",
                   kGood.substr(0, kGood.find("text")) + std::string("te\0xt", 5) +
                       kGood.substr(kGood.find("text") + 4),
                   {L"A", L"B", L"C"}},
        DamageCase{"NameWithALineBreak",
                   kGood.substr(0, kGood.find("\"y\"")) + "\"y\nz\"=\"broken\"\n" +
                       kGood.substr(kGood.find("\"y\"")),
                   {L"A", L"B", L"C"}},
        DamageCase{"EmptyFile", "", {}},
        DamageCase{"NotARegistryFile",
                   "\x7f"
                   "ELF\x02\x01",
                   {}}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return info.param.name; });

} // namespace
