// Shared plumbing: the machine, image lookup, fault injection, name conversions.
#include "kernel.h"

#include "machine/machine.h"

#include <dlfcn.h>
#include <map>
#include <mutex>

namespace tolm_nt {

machine::Machine& hw() {
    return machine::the_machine();
}

void* module_of(const void* address) {
    Dl_info info{};
    if (address != nullptr && dladdr(address, &info) != 0) {
        return info.dli_fbase;
    }
    return nullptr;
}

namespace {
struct Injection {
    NTSTATUS status = STATUS_SUCCESS;
    unsigned skip = 0;
    unsigned count = 0;
};
std::mutex fault_mutex;
std::map<platform::nt::Fault, Injection> injections;
} // namespace

bool fault_fires(platform::nt::Fault fault, NTSTATUS& status) {
    std::lock_guard lock(fault_mutex);
    const auto it = injections.find(fault);
    if (it == injections.end() || it->second.count == 0) {
        return false;
    }
    if (it->second.skip > 0) {
        --it->second.skip;
        return false;
    }
    --it->second.count;
    status = it->second.status;
    return true;
}

std::string narrow(const WCHAR* s, std::size_t chars) {
    std::string out;
    out.reserve(chars);
    for (std::size_t i = 0; i < chars; ++i) {
        out.push_back(s[i] < 0x80 ? static_cast<char>(s[i]) : '?');
    }
    return out;
}

std::string narrow(PCUNICODE_STRING s) {
    if (s == nullptr || s->Buffer == nullptr) {
        return {};
    }
    return narrow(s->Buffer, s->Length / sizeof(WCHAR));
}

std::u16string widen(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (const char c : s) {
        out.push_back(static_cast<unsigned char>(c));
    }
    return out;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

} // namespace tolm_nt

namespace platform::nt {

void inject_fault(Fault fault, NTSTATUS status, unsigned skip, unsigned count) {
    std::lock_guard lock(tolm_nt::fault_mutex);
    tolm_nt::injections[fault] = {status, skip, count};
}

void clear_injected_faults() {
    std::lock_guard lock(tolm_nt::fault_mutex);
    tolm_nt::injections.clear();
}

std::string tag_text(ULONG tag) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((tag >> (8 * i)) & 0xFF);
        s.push_back(c >= 0x20 && c < 0x7F ? c : '.');
    }
    return s;
}

} // namespace platform::nt
