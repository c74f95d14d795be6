// FindFirstFileA / FindNextFileA / FindClose: a snapshot of the matching entries of one folder.
#include "file_support.h"

#include "platform/handles.h"
#include "platform/paths.h"
#include "win32/errors.h"
#include "win32/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace platform {
namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// '*' any run, '?' any one character, others equal ignoring ASCII case.
bool glob(std::string_view pattern, std::string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::string_view::npos;
    std::size_t mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

// As on Windows, "name.*" also matches "name" without an extension ("*.*" matches everything).
bool matches(std::string_view pattern, std::string_view name) {
    if (glob(pattern, name)) {
        return true;
    }
    return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
           glob(pattern.substr(0, pattern.size() - 2), name);
}

bool upper_less(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
    const std::size_t la = std::strlen(a.cFileName);
    const std::size_t lb = std::strlen(b.cFileName);
    return std::lexicographical_compare(
        a.cFileName, a.cFileName + la, b.cFileName, b.cFileName + lb,
        [](char x, char y) { return (unsigned char)lower(x) < (unsigned char)lower(y); });
}

class FindObject : public KernelObject {
public:
    explicit FindObject(std::vector<WIN32_FIND_DATAA> entries) : entries_(std::move(entries)) {}

    bool next(WIN32_FIND_DATAA& out) {
        std::lock_guard lock(mutex_);
        if (next_ >= entries_.size()) {
            return false;
        }
        out = entries_[next_++];
        return true;
    }

private:
    std::mutex mutex_;
    std::vector<WIN32_FIND_DATAA> entries_;
    std::size_t next_ = 0;
};

// The entry `name` of `folder`, or false when it cannot be described (gone, or a name too
// long for cFileName).
bool describe(const std::filesystem::path& folder, const std::string& name, WIN32_FIND_DATAA& out) {
    if (name.size() >= MAX_PATH) {
        return false;
    }
    struct stat st {};
    const auto full = folder / name;
    if (::stat(full.c_str(), &st) != 0 && ::lstat(full.c_str(), &st) != 0) {
        return false;
    }
    out = WIN32_FIND_DATAA{};
    out.dwFileAttributes = attributes_of(st);
    out.ftCreationTime = filetime_of(st.st_mtim);
    out.ftLastAccessTime = filetime_of(st.st_atim);
    out.ftLastWriteTime = filetime_of(st.st_mtim);
    if (!S_ISDIR(st.st_mode)) {
        out.nFileSizeHigh = DWORD(std::uint64_t(st.st_size) >> 32);
        out.nFileSizeLow = DWORD(std::uint64_t(st.st_size));
    }
    std::memcpy(out.cFileName, name.c_str(), name.size() + 1);
    return true;
}

} // namespace
} // namespace platform

extern "C" {

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (pattern == nullptr || *pattern == '\0' || data == nullptr) {
        SetLastError(pattern == nullptr || *pattern == '\0' ? ERROR_PATH_NOT_FOUND
                                                            : ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string_view text(pattern);
    const std::size_t cut = text.find_last_of("\\/");
    const std::string_view name_pattern =
        cut == std::string_view::npos ? text : text.substr(cut + 1);
    std::filesystem::path folder(".");
    if (cut != std::string_view::npos) {
        folder =
            cut == 0 ? std::filesystem::path("/") : platform::resolve_path(text.substr(0, cut));
    }

    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::string> names{".", ".."};
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(dir);
    } else {
        SetLastError(platform::win32_error_from_errno(errno, folder));
        return INVALID_HANDLE_VALUE;
    }

    std::vector<WIN32_FIND_DATAA> found;
    for (const std::string& name : names) {
        WIN32_FIND_DATAA entry;
        if (!name_pattern.empty() && platform::matches(name_pattern, name) &&
            platform::describe(folder, name, entry)) {
            found.push_back(entry);
        }
    }
    if (found.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // "." and ".." first, then the names in case-insensitive order, as NTFS lists them.
    const auto dots =
        std::stable_partition(found.begin(), found.end(), [](const WIN32_FIND_DATAA& e) {
            return std::strcmp(e.cFileName, ".") == 0 || std::strcmp(e.cFileName, "..") == 0;
        });
    std::sort(dots, found.end(), platform::upper_less);

    auto object = std::make_shared<platform::FindObject>(std::move(found));
    object->next(*data);
    return platform::make_handle(std::move(object));
}

BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    auto object = platform::lookup_handle_as<platform::FindObject>(find);
    if (!object || data == nullptr) {
        SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!object->next(*data)) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE find) {
    if (!platform::lookup_handle_as<platform::FindObject>(find)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return platform::close_handle(find) ? TRUE : FALSE;
}
}
