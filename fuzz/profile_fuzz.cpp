// The ini reader: the input is the file; every section and key it lists is read back with
// buffers of several sizes, and no answer may pass its buffer.
#include "fuzz_target.h"
#include "win32/profile.h"

#include <string>
#include <vector>

namespace {

constexpr DWORD kSizes[] = {1, 2, 16, 4096};
constexpr std::size_t kMaxNames = 12;

// The names of a zero-separated list.
std::vector<std::string> names(const char* list, DWORD length) {
    std::vector<std::string> out;
    std::string cur;
    for (DWORD i = 0; i < length && out.size() < kMaxNames; ++i) {
        if (list[i] == '\0') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(list[i]);
        }
    }
    return out;
}

DWORD read(const char* section, const char* key, std::vector<char>& buffer, const char* file) {
    // A guard byte after the buffer catches a write past its size.
    const DWORD size = DWORD(buffer.size() - 1);
    buffer.back() = '\x5A';
    const DWORD n = GetPrivateProfileStringA(section, key, "dflt  ", buffer.data(), size, file);
    if (buffer.back() != '\x5A') {
        fuzz::fail("the reader wrote past the buffer");
    }
    if (n >= size && size > 0) {
        fuzz::fail("the answer counts more than the buffer holds");
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = fuzz::scratch_dir() / "fuzz.ini";
    fuzz::write_file(path, {data, size});
    const std::string file = path.string();

    std::vector<char> big(1 << 16);
    const DWORD n = read(nullptr, nullptr, big, file.c_str());
    for (const std::string& section : names(big.data(), n)) {
        std::vector<char> keys(1 << 16);
        const DWORD k = read(section.c_str(), nullptr, keys, file.c_str());
        for (const std::string& key : names(keys.data(), k)) {
            for (const DWORD s : kSizes) {
                std::vector<char> buffer(s + 1);
                read(section.c_str(), key.c_str(), buffer, file.c_str());
            }
            (void)GetPrivateProfileIntA(section.c_str(), key.c_str(), -7, file.c_str());
        }
        for (const DWORD s : kSizes) {
            std::vector<char> buffer(s + 1);
            read(section.c_str(), nullptr, buffer, file.c_str());
            read(nullptr, nullptr, buffer, file.c_str());
        }
    }
    return 0;
}
