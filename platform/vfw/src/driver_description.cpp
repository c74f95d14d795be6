// The driver slots and the descriptions of the drivers registered in them.
#include "driver_services.h"
#include "driver_slots.h"

#include "vfw/capture.h"
#include "win32/version.h"

#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

namespace vfw_impl {

std::string driver_slot_name(unsigned slot) {
    if (slot >= kDriverSlots) {
        return {};
    }
    return slot == 0 ? std::string("MSVIDEO") : "MSVIDEO" + std::to_string(slot);
}

std::filesystem::path driver_slot_file(unsigned slot) {
    const std::string name = driver_slot_name(slot);
    if (name.empty()) {
        return {};
    }
    auto file = driver_file(name, "Drivers32", false);
    std::error_code ec;
    if (file.empty() || !std::filesystem::is_regular_file(file, ec)) {
        return {};
    }
    return file;
}

} // namespace vfw_impl

namespace {

void copy_text(const std::string& text, LPSTR out, int size) {
    if (!out || size <= 0) {
        return;
    }
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

std::string query_text(const std::vector<BYTE>& block, const std::string& path) {
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), path.c_str(), &value, &length) || !value || length == 0) {
        return {};
    }
    const char* text = static_cast<const char*>(value);
    return std::string(text, strnlen(text, length));
}

} // namespace

extern "C" BOOL WINAPI capGetDriverDescriptionA(UINT wDriverIndex, LPSTR lpszName, int cbName,
                                                LPSTR lpszVer, int cbVer) {
    const auto file = vfw_impl::driver_slot_file(wDriverIndex);
    if (file.empty()) {
        return FALSE;
    }
    std::string name = file.filename().string();
    std::string version;
    const std::string path = file.string();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::vector<BYTE> block(size);
    if (size != 0 && GetFileVersionInfoA(path.c_str(), handle, size, block.data())) {
        char table[9] = "040904E4";
        LPVOID value = nullptr;
        UINT length = 0;
        if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) &&
            length >= 4) {
            WORD pair[2];
            std::memcpy(pair, value, sizeof(pair));
            std::snprintf(table, sizeof(table), "%04X%04X", pair[0], pair[1]);
        }
        const std::string strings = std::string("\\StringFileInfo\\") + table + "\\";
        if (auto description = query_text(block, strings + "FileDescription");
            !description.empty()) {
            name = description;
        }
        version = query_text(block, strings + "FileVersion");
        if (version.empty() && VerQueryValueA(block.data(), "\\", &value, &length) &&
            length >= sizeof(VS_FIXEDFILEINFO)) {
            VS_FIXEDFILEINFO fixed;
            std::memcpy(&fixed, value, sizeof(fixed));
            version = std::to_string(HIWORD(fixed.dwFileVersionMS)) + "." +
                      std::to_string(LOWORD(fixed.dwFileVersionMS)) + "." +
                      std::to_string(HIWORD(fixed.dwFileVersionLS)) + "." +
                      std::to_string(LOWORD(fixed.dwFileVersionLS));
        }
    }
    copy_text(name, lpszName, cbName);
    copy_text(version, lpszVer, cbVer);
    return TRUE;
}
