#include "platform/paths.h"

#include <cstdlib>
#include <mutex>
#include <system_error>

namespace platform {
namespace {

std::mutex& root_mutex() {
    static std::mutex m;
    return m;
}

std::filesystem::path& root_override() {
    static std::filesystem::path p;
    return p;
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::filesystem::path ensure_dir(std::filesystem::path p) {
    std::error_code ec;
    std::filesystem::create_directories(p, ec);
    return p;
}

} // namespace

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

void set_system_root(const std::filesystem::path& root) {
    std::lock_guard lock(root_mutex());
    root_override() = root;
}

std::filesystem::path system_root() {
    std::filesystem::path root;
    {
        std::lock_guard lock(root_mutex());
        root = root_override();
    }
    if (root.empty()) {
        const char* env = std::getenv("TOLM_SYSROOT");
        root = (env && *env) ? std::filesystem::path(env)
                             : std::filesystem::temp_directory_path() / "tolm-sysroot";
    }
    return ensure_dir(std::filesystem::absolute(root));
}

std::filesystem::path system_directory() {
    const auto dir = system_root() / "system32";
    ensure_dir(dir / "drivers");
    return dir;
}

std::filesystem::path windows_directory() {
    return ensure_dir(system_root() / "windows");
}

std::filesystem::path resolve_path(std::string_view win_path) {
    std::string s(win_path);
    for (char& c : s) {
        if (c == '\\') {
            c = '/';
        }
    }
    std::filesystem::path in(s);
    // The common case in one look-up: every component exists as written and none is empty.
    std::error_code exact_ec;
    if (s.size() > 1 && s.back() != '/' && s.find("//") == std::string::npos &&
        std::filesystem::exists(in, exact_ec)) {
        return in;
    }
    std::filesystem::path out =
        in.has_root_directory() ? std::filesystem::path("/") : std::filesystem::path();
    bool exists_so_far = true;
    for (const auto& part : in.relative_path()) {
        const std::string name = part.string();
        if (name.empty()) {
            continue;
        }
        std::filesystem::path next = out / name;
        if (exists_so_far && name != "." && name != "..") {
            std::error_code ec;
            const std::filesystem::path dir = out.empty() ? std::filesystem::path(".") : out;
            if (!std::filesystem::exists(next, ec)) {
                exists_so_far = false;
                for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end;
                     it.increment(ec)) {
                    const std::string entry = it->path().filename().string();
                    if (iequals(entry, name)) {
                        next = out / entry;
                        exists_so_far = true;
                        break;
                    }
                }
            }
        }
        out = std::move(next);
    }
    return out;
}

} // namespace platform
