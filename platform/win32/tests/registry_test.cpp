#include "system_root.h"

#include "platform/paths.h"

#include "platform/registry_store.h"
#include "win32/errors.h"
#include "win32/registry.h"
#include "win32/shlwapi.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

// An open key closed at scope end.
struct Key {
    HKEY h = nullptr;
    ~Key() {
        if (h) {
            EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
        }
    }
};

std::vector<BYTE> file_bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

const BYTE* bytes(const char* s) {
    return reinterpret_cast<const BYTE*>(s);
}

} // namespace

TEST(Registry, EveryTypeRoundTripsWithItsExactBytes) {
    tolm_test::TempSystemRoot root;
    Key k;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                              "SOFTWARE\\Microsoft\\Windows NT\\"
                              "CurrentVersion\\Drivers32\\",
                              0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &k.h,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const DWORD dword = 0x01020304;
    struct Case {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
    } cases[] = {
        {"MSVIDEO", REG_SZ, {'t', 'a', 'r', 'v', 'o', 'v', 'f', 'w', '0', '.', 'd', 'l', 'l', 0}},
        {"Path", REG_EXPAND_SZ, {'%', 'S', '%', 0}},
        {"InstallError", REG_DWORD, {4, 3, 2, 1}},
        {"Blob", REG_BINARY, {0, 255, 0, 7}},
        {"List", REG_MULTI_SZ, {'a', 0, 'b', 'c', 0, 0}},
        {"Empty", REG_BINARY, {}},
        {"", REG_SZ, {'d', 0}},                    // the default value
        {"\xC8\xEC\xFF", REG_SZ, {0xC4, 0xE0, 0}}, // CP1251 name and text
    };
    for (const Case& c : cases) {
        ASSERT_EQ(RegSetValueExA(k.h, c.name, 0, c.type, c.data.data(), DWORD(c.data.size())),
                  ERROR_SUCCESS);
    }
    // Read back through a second handle, spelled in another case.
    Key r;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                            "software\\MICROSOFT\\windows nt\\currentversion\\drivers32", 0,
                            KEY_READ, &r.h),
              ERROR_SUCCESS);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD type = 99;
        DWORD size = 0;
        // Size query without a buffer.
        ASSERT_EQ(RegQueryValueExA(r.h, c.name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(size, c.data.size());
        std::vector<BYTE> got(size + 4, 0xEE);
        size = DWORD(got.size());
        ASSERT_EQ(RegQueryValueExA(r.h, c.name, nullptr, nullptr, got.data(), &size),
                  ERROR_SUCCESS);
        got.resize(size);
        EXPECT_EQ(got, c.data);
    }
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExA(r.h, "installerror", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, dword);
    // A buffer one byte short: ERROR_MORE_DATA with the size needed.
    BYTE small[13];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(r.h, "MSVIDEO", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(RegQueryValueExA(r.h, "MSVIDEO9", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(r.h, "MSVIDEO", nullptr, nullptr, small, nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST(Registry, NamesKeepTheirCaseAndEnumerate) {
    tolm_test::TempSystemRoot root;
    Key k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Multimedia\\Video Capture",
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k.h, nullptr),
              ERROR_SUCCESS);
    for (const char* sub : {"Tarvo\\Driver1", "tarvo\\Driver0", "ACME", "beta"}) {
        Key s;
        ASSERT_EQ(RegCreateKeyExA(k.h, sub, 0, nullptr, 0, KEY_WRITE, nullptr, &s.h, nullptr),
                  ERROR_SUCCESS);
    }
    char name[64];
    std::vector<std::string> names;
    for (DWORD i = 0; RegEnumKeyA(k.h, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"ACME", "beta", "Tarvo"}));
    EXPECT_EQ(RegEnumKeyA(k.h, 3, name, sizeof name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumKeyA(k.h, 2, name, 5), ERROR_MORE_DATA); // "Tarvo" needs 6

    // Values: set order, first spelling kept, later sets replace the data.
    Key d;
    ASSERT_EQ(RegOpenKeyExA(k.h, "TARVO\\driver0", 0, KEY_ALL_ACCESS, &d.h), ERROR_SUCCESS);
    const DWORD one = 1, two = 2;
    ASSERT_EQ(RegSetValueExA(d.h, "Width", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(d.h, "Height", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(d.h, "WIDTH", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), 4),
              ERROR_SUCCESS);
    std::vector<std::pair<std::string, DWORD>> values;
    for (DWORD i = 0;; ++i) {
        DWORD name_size = sizeof name;
        DWORD type = 0;
        DWORD data = 0;
        DWORD data_size = sizeof data;
        const LONG r = RegEnumValueA(d.h, i, name, &name_size, nullptr, &type,
                                     reinterpret_cast<BYTE*>(&data), &data_size);
        if (r != ERROR_SUCCESS) {
            EXPECT_EQ(r, ERROR_NO_MORE_ITEMS);
            break;
        }
        EXPECT_EQ(name_size, std::strlen(name));
        values.emplace_back(name, data);
    }
    EXPECT_EQ(values, (std::vector<std::pair<std::string, DWORD>>{{"Width", 2}, {"Height", 1}}));
    EXPECT_EQ(RegDeleteValueA(d.h, "height"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(d.h, "height"), ERROR_FILE_NOT_FOUND);
}

TEST(Registry, DeletingKeysAndUsingDeletedOnes) {
    tolm_test::TempSystemRoot root;
    const char* path = "SYSTEM\\CurrentControlSet\\Services\\Tarvo\\Parameters";
    Key params;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &params.h, nullptr),
              ERROR_SUCCESS);
    Key service;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "system\\currentcontrolset\\services\\tarvo", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &service.h, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);

    // A key with subkeys is not deleted.
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Tarvo"),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(service.h, "PARAMETERS"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(service.h, "Parameters"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(service.h, ""), ERROR_INVALID_PARAMETER);

    // The handle to the deleted key now fails.
    const DWORD one = 1;
    EXPECT_EQ(RegSetValueExA(params.h, "BreakOnEntry", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_KEY_DELETED);
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExA(params.h, "BreakOnEntry", nullptr, nullptr, nullptr, &size),
              ERROR_KEY_DELETED);
    Key gone;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &gone.h), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(gone.h, nullptr);
    EXPECT_EQ(RegFlushKey(service.h), ERROR_SUCCESS);
}

// SHDeleteKeyA removes every level below the key in one go; its siblings stay.
TEST(Registry, ShellDeleteRemovesTheWholeTree) {
    tolm_test::TempSystemRoot root;
    using platform::registry::Root;
    const std::string base = "SYSTEM\\CurrentControlSet\\Control\\MediaResources\\msvideo";
    for (const char* sub : {"\\MSVIDEO.VFWWDM\\a\\b\\c", "\\MSVIDEO.VFWWDM\\d", "\\other"}) {
        ASSERT_EQ(platform::registry::create_key(Root::LocalMachine, base + sub), ERROR_SUCCESS);
    }
    ASSERT_EQ(platform::registry::set_value(Root::LocalMachine, base + "\\MSVIDEO.VFWWDM\\a\\b",
                                            "v", REG_SZ, "x", 2),
              ERROR_SUCCESS);
    Key key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, base.c_str(), 0, KEY_ALL_ACCESS, &key.h),
              ERROR_SUCCESS);
    Key inner;
    ASSERT_EQ(RegOpenKeyExA(key.h, "msvideo.vfwwdm\\A", 0, KEY_ALL_ACCESS, &inner.h),
              ERROR_SUCCESS);
    EXPECT_EQ(SHDeleteKeyA(key.h, "msvideo.vfwwdm"), ERROR_SUCCESS);
    EXPECT_EQ(SHDeleteKeyA(key.h, "MSVIDEO.VFWWDM"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SHDeleteKeyA(key.h, ""), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(platform::registry::open_key(Root::LocalMachine, base + "\\MSVIDEO.VFWWDM"),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform::registry::open_key(Root::LocalMachine, base + "\\other"), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(inner.h, "v", 0, REG_SZ, bytes("y"), 2), ERROR_KEY_DELETED);
    EXPECT_EQ(platform::registry::delete_tree(Root::LocalMachine, ""), ERROR_ACCESS_DENIED)
        << "never the hive's root";
}

TEST(Registry, AccessAndHandleChecks) {
    tolm_test::TempSystemRoot root;
    Key w;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Run", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &w.h, nullptr),
              ERROR_SUCCESS);
    Key r;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Run", 0, KEY_QUERY_VALUE, &r.h),
              ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegSetValueExA(r.h, "Kastrel_16", 0, REG_SZ, bytes("x"), 2), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(r.h, "Kastrel_16"), ERROR_ACCESS_DENIED);
    char name[8];
    EXPECT_EQ(RegEnumKeyA(r.h, 0, name, sizeof name), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegQueryValueExA(w.h, "Kastrel_16", nullptr, nullptr, nullptr, &size),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegSetValueExA(w.h, "Kastrel_16", 0, REG_SZ, nullptr, 2), ERROR_NOACCESS);
    EXPECT_EQ(RegSetValueExA(w.h, "Kastrel_16", 0, REG_SZ, bytes("x"), 2), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(r.h, "KASTREL_16", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 2u);

    HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x12344));
    EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);
    HKEY out = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "x", 0, KEY_READ, &out), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    // Names past the limits are refused.
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, std::string(256, 'k').c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &out, nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST(Registry, HiveFileLayout) {
    tolm_test::TempSystemRoot root;
    Key k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarvo", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &k.h, nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1;
    ASSERT_EQ(RegSetValueExA(k.h, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_SUCCESS);
    // Header (magic, format 1, generation 2 after two writes, payload size, CRC-32), then the
    // root key with one subkey "Software" holding "Tarvo" with the value "Count".
    const std::vector<BYTE> expected = {
        0x54, 0x4F, 0x4C, 0x4D, 0x48, 0x49, 0x56, 0x45, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x3E, 0x00, 0x00, 0x00, 0xDF, 0x3D, 0xD7, 0x24, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x08, 0x00, 0x53, 0x6F, 0x66, 0x74, 0x77,
        0x61, 0x72, 0x65, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 0x54, 0x61,
        0x72, 0x76, 0x6F, 0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 0x43, 0x6F, 0x75, 0x6E, 0x74, 0x04,
        0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(file_bytes(root.path() / "registry" / "machine.hive"), expected);
    EXPECT_FALSE(fs::exists(root.path() / "registry" / "user.hive")); // untouched hive
}

TEST(Registry, CorruptHiveIsReportedAndLeftAlone) {
    tolm_test::TempSystemRoot root;
    Key k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarvo", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &k.h, nullptr),
              ERROR_SUCCESS);
    const fs::path hive = root.path() / "registry" / "machine.hive";
    std::vector<BYTE> good = file_bytes(hive);

    struct Damage {
        const char* what;
        std::vector<BYTE> bytes;
    } damages[] = {
        {"garbage", {'n', 'o', 't', ' ', 'a', ' ', 'h', 'i', 'v', 'e'}},
        {"truncated", std::vector<BYTE>(good.begin(), good.end() - 3)},
        {"flipped bit",
         [&] {
             auto b = good;
             b.back() ^= 0x10;
             return b;
         }()},
        {"empty", {}},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        std::ofstream(hive, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(d.bytes.data()), std::streamsize(d.bytes.size()));
        testing::internal::CaptureStderr();
        Key r;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &r.h),
                  ERROR_REGISTRY_CORRUPT);
        EXPECT_EQ(RegSetValueExA(k.h, "x", 0, REG_SZ, bytes("y"), 2), ERROR_REGISTRY_CORRUPT);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("corrupt"), std::string::npos);
        EXPECT_NE(err.find(hive.string()), std::string::npos);
        EXPECT_EQ(file_bytes(hive), d.bytes); // not replaced
    }
    // The other hive is unaffected; a restored file works again.
    Key user;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &user.h, nullptr),
              ERROR_SUCCESS);
    std::ofstream(hive, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(good.data()), std::streamsize(good.size()));
    EXPECT_EQ(RegSetValueExA(k.h, "x", 0, REG_SZ, bytes("y"), 2), ERROR_SUCCESS);
}

TEST(RegistryStore, PathCallsForTheKernelStandIn) {
    tolm_test::TempSystemRoot root;
    namespace reg = platform::registry;
    const auto where =
        reg::from_kernel_path("\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services\\Tarvo");
    ASSERT_TRUE(where);
    EXPECT_EQ(where->first, reg::Root::LocalMachine);
    EXPECT_EQ(where->second, "System\\CurrentControlSet\\Services\\Tarvo");
    EXPECT_FALSE(reg::from_kernel_path("\\Registry\\User\\S-1"));
    EXPECT_FALSE(reg::from_kernel_path("\\Registry"));

    const std::string dev = where->second + "\\Devices\\TarvoDevice\\0";
    bool created = false;
    ASSERT_EQ(reg::create_key(where->first, dev, &created), ERROR_SUCCESS);
    EXPECT_TRUE(created);
    ASSERT_EQ(reg::create_key(where->first, dev, &created), ERROR_SUCCESS);
    EXPECT_FALSE(created);
    const DWORD code = 1003;
    ASSERT_EQ(reg::set_value(where->first, dev, "InstallError", REG_DWORD, &code, 4),
              ERROR_SUCCESS);
    ASSERT_EQ(reg::set_value(where->first, dev, "ErrorStatus", REG_DWORD, &code, 4), ERROR_SUCCESS);

    // The same value through the Win32 calls, spelled as the installer does.
    Key k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                            "SYSTEM\\CurrentControlSet\\Services\\Tarvo\\Devices\\TarvoDevice\\0\\",
                            0, KEY_READ, &k.h),
              ERROR_SUCCESS);
    DWORD value = 0;
    DWORD size = 4;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(k.h, "InstallError", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                               &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 1003u);

    reg::KeyInfo info;
    ASSERT_EQ(reg::key_info(where->first, dev, info), ERROR_SUCCESS);
    EXPECT_EQ(info.values, 2u);
    EXPECT_EQ(info.max_value_name, 12u);
    EXPECT_EQ(info.max_value_data, 4u);
    reg::Value v;
    EXPECT_EQ(reg::enum_value(where->first, dev, 1, v), ERROR_SUCCESS);
    EXPECT_EQ(v.name, "ErrorStatus");
    EXPECT_EQ(reg::enum_value(where->first, dev, 2, v), ERROR_NO_MORE_ITEMS);
    std::string sub;
    EXPECT_EQ(reg::enum_key(where->first, where->second + "\\devices", 0, sub), ERROR_SUCCESS);
    EXPECT_EQ(sub, "TarvoDevice");
    EXPECT_EQ(reg::query_value(where->first, dev + "\\none", "x", v), ERROR_KEY_DELETED);
    EXPECT_EQ(reg::open_key(where->first, dev + "\\none"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg::delete_key(where->first, ""), ERROR_ACCESS_DENIED);
    // Nesting beyond 512 levels is refused before anything is written.
    std::string deep;
    for (int i = 0; i < 513; ++i) {
        deep += "k\\";
    }
    EXPECT_EQ(reg::create_key(reg::Root::CurrentUser, deep), ERROR_INVALID_PARAMETER);
}
