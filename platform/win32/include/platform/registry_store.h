// The registry as the platform keeps it: two hives (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER)
// in files under the system root (registry/machine.hive, registry/user.hive). Every call
// reads the hive again when another process has rewritten it, and every change rewrites the
// file atomically (temporary file + rename) under an exclusive lock of "<hive>.lock", so all
// processes on one system root see one registry.
//
// Paths are key names joined by '\' below the hive's root; names match case-insensitively
// and keep the case they were created with. The Reg* calls and the kernel stand-in's key
// calls are built on these functions.
//
// Every function answers a Win32 error code:
//   ERROR_SUCCESS
//   ERROR_FILE_NOT_FOUND     the key (open, delete) or the value is not there
//   ERROR_KEY_DELETED        a value or enumeration call on a key that is not there
//   ERROR_NO_MORE_ITEMS      an enumeration index past the end
//   ERROR_ACCESS_DENIED      deleting a key that has subkeys (delete_key), or the root
//   ERROR_INVALID_PARAMETER  a name too long (key 255, value 16383 bytes) or keys nested
//                            deeper than 512 levels
//   ERROR_REGISTRY_CORRUPT   the hive file cannot be read as a hive; it is reported on
//                            stderr once and left untouched (no call changes it)
//   ERROR_CANTOPEN           the hive's lock file could not be opened or locked
//   ERROR_CANTREAD           the hive file could not be read
//   ERROR_CANTWRITE          the new hive file could not be written
#pragma once

#include "win32/types.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::registry {

enum class Root { LocalMachine, CurrentUser };

struct Value {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct KeyInfo {
    DWORD subkeys = 0;
    DWORD max_subkey_name = 0; // characters, without a terminator
    DWORD values = 0;
    DWORD max_value_name = 0;
    DWORD max_value_data = 0; // bytes
};

LONG open_key(Root root, std::string_view path);
// Creates the missing keys of `path` level by level; `created` tells whether the last one
// was new.
LONG create_key(Root root, std::string_view path, bool* created = nullptr);
// Deletes a key without subkeys, with its values.
LONG delete_key(Root root, std::string_view path);
// Deletes a key with everything below it, in one rewrite of the hive.
LONG delete_tree(Root root, std::string_view path);

// `name` empty is the key's default value.
LONG query_value(Root root, std::string_view path, std::string_view name, Value& out);
LONG set_value(Root root, std::string_view path, std::string_view name, DWORD type,
               const void* data, std::size_t size);
LONG delete_value(Root root, std::string_view path, std::string_view name);

// Subkeys are enumerated in case-insensitive name order, values in the order they were first
// set.
LONG enum_key(Root root, std::string_view path, DWORD index, std::string& name);
LONG enum_value(Root root, std::string_view path, DWORD index, Value& out);
LONG key_info(Root root, std::string_view path, KeyInfo& out);

// Changes are on disk when their call returns; this only checks that the hive reads.
LONG flush(Root root);

// The hive and path of a kernel-form name: "\Registry\Machine\..." (any case) is the local
// machine; anything else gives nothing.
std::optional<std::pair<Root, std::string>> from_kernel_path(std::string_view path);

} // namespace platform::registry
