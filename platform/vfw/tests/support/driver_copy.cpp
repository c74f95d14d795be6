#include "driver_copy.h"

#include "platform/paths.h"
#include "win32/errors.h"
#include "win32/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

namespace vfw_test {

std::filesystem::path make_system_root(const std::string& prefix) {
    static std::atomic<int> serial{0};
    const auto root = std::filesystem::temp_directory_path() /
                      (prefix + "-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    platform::set_system_root(root);
    return root;
}

std::filesystem::path install_driver_copy(const std::filesystem::path& source,
                                          const std::string& file, int digit) {
    std::ifstream in(source, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::u16string marker = u"Driver Device0";
    const std::string needle(reinterpret_cast<const char*>(marker.data()), marker.size() * 2);
    auto at = std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end());
    EXPECT_NE(at, bytes.end()) << "no description in " << source;
    if (at != bytes.end()) {
        *(at + static_cast<std::ptrdiff_t>(needle.size()) - 2) = static_cast<char>('0' + digit);
    }
    const auto path = platform::system_directory() / file;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

void register_slot(unsigned slot, const std::string& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                              "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::string name = slot == 0 ? "MSVIDEO" : "MSVIDEO" + std::to_string(slot);
    ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

} // namespace vfw_test
