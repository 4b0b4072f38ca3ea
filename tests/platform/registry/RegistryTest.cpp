// The file-backed registry: keys as folders, values as files, handles, and the limits that
// keep a key or value name inside its hive and a value file from stalling or flooding.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "platform/registry/Registry.h"
#include "platform/registry/RegistryRoot.h"
#include "tests/support/TempDir.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;

class Registry : public ::testing::Test {
protected:
    std::string hive() const { return (m_tmp / "hive").string(); }

    // Opens SOFTWARE\Kestrova for reading, creating it first.
    HKEY productKey() {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestrova", 0, nullptr, 0,
                                  KEY_READ, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }

    TempDir m_tmp;
    registry::ScopedMachineRoot m_root{hive()};
};

TEST_F(Registry, CreateMakesTheKeyChainAndOpenFindsIt) {
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestrova", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);

    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestrova", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_TRUE(fs::is_directory(hive() + "/SOFTWARE/Kestrova"));
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestrova", 0, nullptr, 0, KEY_READ,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    // A sub-key is found relative to an open key as well as from the hive.
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ, &software),
              ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(software, L"Kestrova", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(software), ERROR_SUCCESS);
}

TEST_F(Registry, KeyNamesCannotReachOutsideTheHive) {
    const wchar_t* kBadPaths[] = {L"..\\outside", L"SOFTWARE\\..\\..\\outside", L"a/b",
                                  L"\\SOFTWARE", L"SOFTWARE\\."};
    for (const wchar_t* path : kBadPaths) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(path)));
        HKEY key = nullptr;
        EXPECT_NE(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_READ, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(key, nullptr);
        EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key), ERROR_SUCCESS);
    }
    EXPECT_FALSE(fs::exists(m_tmp / "outside"));
    EXPECT_FALSE(fs::exists(hive() + "/a"));
}

TEST_F(Registry, ValueIsTheFileTextWithoutOneTrailingNewline) {
    const struct {
        std::string file;
        std::wstring value;
    } kCases[] = {{"Reader\n", L"Reader"},
                  {"Reader", L"Reader"},
                  {"a\n\n", L"a\n"},
                  {"Re\r\n", L"Re\r"},
                  {"阅读器\n", L"阅读器"},
                  {"\xff"
                   "ok",
                   L"\xFFFDok"},
                  {"", L""}};
    HKEY key = productKey();
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::PrintToString(c.file));
        writeFile(hive() + "/SOFTWARE/Kestrova/appname", c.file);
        wchar_t buffer[32] = {};
        DWORD size = sizeof buffer;
        DWORD type = 0;
        ASSERT_EQ(RegQueryValueExW(key, L"appname", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                                   &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, REG_SZ);
        EXPECT_EQ(size, c.value.size() * sizeof(wchar_t));
        EXPECT_EQ(std::wstring(buffer, size / sizeof(wchar_t)), c.value);
    }
    RegCloseKey(key);
}

TEST_F(Registry, UnusableValueFilesAreRefusedPromptly) {
    HKEY key = productKey();
    const std::string folder = hive() + "/SOFTWARE/Kestrova/";
    fs::create_directory(folder + "folder");
    ASSERT_EQ(::mkfifo((folder + "fifo").c_str(), 0644), 0);
    writeFile(folder + "huge", std::string((1 << 20) + 1, 'x'));
    writeFile(folder + "largest", std::string(1 << 20, 'x'));
    writeFile(m_tmp / "secret", "outside");

    const struct {
        const wchar_t* name;
        LONG result;
    } kCases[] = {{L"missing", ERROR_FILE_NOT_FOUND}, {L"folder", ERROR_FILE_NOT_FOUND},
                  {L"fifo", ERROR_FILE_NOT_FOUND},    {L"huge", ERROR_INVALID_DATA},
                  {L"largest", ERROR_SUCCESS},        {L"../../../secret", ERROR_FILE_NOT_FOUND},
                  {L"", ERROR_FILE_NOT_FOUND}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        DWORD size = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(RegQueryValueExW(key, c.name, nullptr, nullptr, nullptr, &size), c.result);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
    RegCloseKey(key);
}

TEST_F(Registry, HandlesAreCheckedAndCloseOnlyOnce) {
    HKEY key = productKey();
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"appname", nullptr, nullptr, nullptr, &size),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);

    // A key opened without the right to read values cannot read them.
    writeFile(hive() + "/SOFTWARE/Kestrova/appname", "Reader");
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestrova", 0, KEY_CREATE_SUB_KEY, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, L"appname", nullptr, nullptr, nullptr, &size),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

}  // namespace
}  // namespace kestrova::test
