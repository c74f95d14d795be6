#include "installer_support.h"

#include "names.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <string_view>

namespace setup {

std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    std::string out(needed > 0 ? static_cast<std::size_t>(needed) : 0, '\0');
    if (needed > 0) {
        std::vsnprintf(out.data(), out.size() + 1, pattern, args);
    }
    va_end(args);
    return out;
}

void error_beep() {
    Beep(100, 200);
}

void question_beep() {
    Beep(200, 200);
}

void done_beep() {
    Beep(1000, 100);
}

std::string system_directory_slash() {
    char buffer[256] = {};
    const UINT length = GetSystemDirectoryA(buffer, sizeof buffer);
    std::string dir = length < sizeof buffer ? std::string(buffer, length) : std::string();
    dir += '\\';
    return dir;
}

std::string slot_value_name(int slot) {
    return slot == 0 ? std::string(names::kSlotZero) : format(names::kSlotN, slot);
}

SC_LOCK lock_service_database(SC_HANDLE manager) {
    SC_LOCK lock = nullptr;
    while ((lock = LockServiceDatabase(manager)) == nullptr) {
        Sleep(100);
    }
    return lock;
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool is_capture_copy_name(std::string_view name) {
    constexpr std::string_view head = "tarvovfw";
    constexpr std::string_view tail = ".dll";
    if (name.size() != head.size() + 1 + tail.size()) {
        return false;
    }
    return same_ignoring_case(name.substr(0, head.size()), head) &&
           std::isdigit(static_cast<unsigned char>(name[head.size()])) != 0 &&
           same_ignoring_case(name.substr(head.size() + 1), tail);
}

} // namespace setup
