#include "device_cleanup.h"

#include "installer_support.h"
#include "string_search.h"
#include "wildcard.h"

#include <win32/setupapi.h>

#include <cstring>
#include <memory>
#include <new>
#include <win32_owners/unique_handle.h>

namespace setup {

using win32_owners::UniqueHandle;
namespace {

// Sub-folders deeper than this are not scanned (a folder linked into itself ends the descent).
constexpr int kMaxDepth = 32;

// A property read whole, the buffer growing until it fits; empty when the device lacks it.
std::vector<BYTE> read_property(HDEVINFO set, SP_DEVINFO_DATA& data, DWORD property) {
    std::vector<BYTE> buffer(256);
    for (;;) {
        DWORD needed = 0;
        DWORD type = 0;
        if (SetupDiGetDeviceRegistryPropertyA(set, &data, property, &type, buffer.data(),
                                              static_cast<DWORD>(buffer.size()), &needed)) {
            buffer.resize(needed);
            return buffer;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size()) {
            return {};
        }
        buffer.resize(needed);
    }
}

bool ids_name_a_chip(const std::vector<BYTE>& multi, const std::vector<std::string>& pci_ids) {
    const char* text = reinterpret_cast<const char*>(multi.data());
    std::size_t at = 0;
    while (at < multi.size() && text[at] != '\0') {
        std::size_t end = at;
        while (end < multi.size() && text[end] != '\0') {
            ++end;
        }
        const std::string_view id(text + at, end - at);
        for (const std::string& wanted : pci_ids) {
            if (id.size() >= wanted.size() &&
                same_ignoring_case(id.substr(0, wanted.size()), wanted)) {
                return true;
            }
        }
        at = end + 1;
    }
    return false;
}

// The whole file, or nothing when it cannot be read.
std::vector<unsigned char> read_file(const std::string& path) {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return {};
    }
    const DWORD size = GetFileSize(file.get(), nullptr);
    if (size == INVALID_FILE_SIZE || size == 0) {
        return {};
    }
    std::vector<unsigned char> content;
    try {
        content.resize(size);
    } catch (const std::bad_alloc&) {
        return {};
    }
    DWORD read = 0;
    if (!ReadFile(file.get(), content.data(), size, &read, nullptr)) {
        return {};
    }
    content.resize(read);
    return content;
}

bool content_names_a_chip(const std::vector<unsigned char>& content,
                          const std::vector<std::string>& pci_ids) {
    for (const std::string& id : pci_ids) {
        if (FindWideString(content.data(), content.size(), id).found ||
            FindNarrowString(content.data(), content.size(), id).found) {
            return true;
        }
    }
    return false;
}

void scan(const std::string& folder, const std::vector<std::string>& pci_ids, int depth) {
    WIN32_FIND_DATAA found{};
    const HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::string name = found.cFileName;
        const std::string path = folder + "\\" + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            if (name != "." && name != ".." && depth < kMaxDepth) {
                scan(path, pci_ids, depth + 1);
            }
        } else if (MatchWildcard("*.inf", name) && content_names_a_chip(read_file(path), pci_ids)) {
            DeleteFileA(path.c_str());
            DeleteFileA((path.substr(0, path.size() - 4) + ".PNF").c_str());
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

} // namespace

int RemoveMatchingDevices(const std::vector<std::string>& pci_ids) {
    const HDEVINFO set =
        SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int removed = 0;
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
        const std::vector<BYTE> ids = read_property(set, data, SPDRP_HARDWAREID);
        if (ids.empty() || !ids_name_a_chip(ids, pci_ids)) {
            continue;
        }
        if (SetupDiCallClassInstaller(DIF_REMOVE, set, &data)) {
            removed = 1;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return removed;
}

void PurgeDeviceInfs(const std::vector<std::string>& pci_ids) {
    char windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length > 0 && length < sizeof windows) {
        ScanInfDirectory(std::string(windows, length) + "\\INF", pci_ids);
    }
    char system[MAX_PATH] = {};
    const UINT system_length = GetSystemDirectoryA(system, sizeof system);
    if (system_length > 0 && system_length < sizeof system) {
        ScanInfDirectory(std::string(system, system_length), pci_ids);
    }
}

void ScanInfDirectory(const std::string& folder, const std::vector<std::string>& pci_ids) {
    scan(folder, pci_ids, 0);
}

} // namespace setup
