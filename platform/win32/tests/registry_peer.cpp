// A second process for the registry tests. Usage:
//   registry_peer <system root> set <key> <name> <number>      sets a REG_DWORD under HKLM
//   registry_peer <system root> expect <key> <name> <number>   exit 0 when it reads so
//   registry_peer <system root> fill <key> <prefix> <count>    sets <prefix>0 .. <prefix>N-1
// Exit codes: 0 done, 1 a different value, 2 a failing call, 3 bad arguments.
#include "platform/paths.h"
#include "win32/errors.h"
#include "win32/registry.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int set_dword(const char* key, const std::string& name, DWORD value) {
    HKEY h = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                        nullptr) != ERROR_SUCCESS) {
        return 2;
    }
    const LONG r = RegSetValueExA(h, name.c_str(), 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(h);
    return r == ERROR_SUCCESS ? 0 : 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        return 3;
    }
    platform::set_system_root(argv[1]);
    const std::string op = argv[2];
    const char* key = argv[3];
    const std::string name = argv[4];
    const auto number = DWORD(std::strtoul(argv[5], nullptr, 10));
    if (op == "set") {
        return set_dword(key, name, number);
    }
    if (op == "fill") {
        for (DWORD i = 0; i < number; ++i) {
            if (set_dword(key, name + std::to_string(i), i) != 0) {
                return 2;
            }
        }
        return 0;
    }
    if (op == "expect") {
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS) {
            return 2;
        }
        DWORD value = 0;
        DWORD size = sizeof value;
        const LONG r = RegQueryValueExA(h, name.c_str(), nullptr, nullptr,
                                        reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(h);
        if (r != ERROR_SUCCESS) {
            return 2;
        }
        return value == number ? 0 : 1;
    }
    return 3;
}
