#include "named_registry.h"

#include "platform/named_objects.h"
#include "platform/paths.h"
#include "win32/errors.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <utility>
#include <unistd.h>

namespace platform::detail {
namespace {

struct Entry {
    std::weak_ptr<WaitableObject> object;
    int fd = -1; // the lock file, held with a shared flock while the object lives
};

struct Registry {
    std::mutex mutex;
    std::map<std::string, Entry> entries; // by lock file path
};

Registry& registry() {
    static Registry* r = new Registry; // outlives every handle closed at process end
    return *r;
}

// Names may hold any character but a file name may not: keep letters, digits and "-_.",
// write the rest as %XX. A long name keeps its head and gets a hash of the whole.
std::string file_name_for(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || (c == '.' && !out.empty())) {
            out += char(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    if (out.size() > 200) {
        std::uint64_t hash = 14695981039346656037ull; // FNV-1a
        for (unsigned char c : name) {
            hash = (hash ^ c) * 1099511628211ull;
        }
        char tail[24];
        std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(hash));
        out = out.substr(0, 150) + tail;
    }
    return "n_" + out;
}

std::filesystem::path objects_dir() {
    const auto dir = system_root() / "objects";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir;
}

DWORD error_from_errno(int e) {
    switch (e) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    default:
        return ERROR_GEN_FAILURE;
    }
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~Fd() { reset(-1); }
    void reset(int fd) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

int flock_retry(int fd, int op) {
    int r;
    do {
        r = ::flock(fd, op);
    } while (r != 0 && errno == EINTR);
    return r;
}

std::string read_record(int fd) {
    char buf[64] = {};
    const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
    std::string s(buf, n > 0 ? std::size_t(n) : 0);
    const auto end = s.find('\n');
    return end == std::string::npos ? s : s.substr(0, end);
}

std::string first_word(const std::string& s) {
    return s.substr(0, s.find(' '));
}

// Outcome of taking the name's lock file on behalf of this process.
struct Claim {
    Fd fd;
    bool existed = false;
    std::string record; // of the existing name
    DWORD error = 0;
};

// Takes the guard lock, then tests and takes the name's lock file. For `open` a free name is
// not taken (error ERROR_FILE_NOT_FOUND).
Claim claim(const std::filesystem::path& file, const std::filesystem::path& guard_file,
            const std::string& record, NameMode mode) {
    Claim c;
    Fd guard(::open(guard_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (guard.get() < 0 || flock_retry(guard.get(), LOCK_EX) != 0) {
        c.error = error_from_errno(errno);
        return c;
    }
    Fd fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
        c.error = error_from_errno(errno);
        return c;
    }
    if (flock_retry(fd.get(), LOCK_EX | LOCK_NB) == 0) {
        // Nobody holds the name. Under the guard nobody can test it before we hold it shared.
        if (mode == NameMode::open) {
            c.error = ERROR_FILE_NOT_FOUND;
            return c;
        }
        const std::string text = record + "\n";
        if (::ftruncate(fd.get(), 0) != 0 ||
            ::pwrite(fd.get(), text.data(), text.size(), 0) != ssize_t(text.size()) ||
            flock_retry(fd.get(), LOCK_SH) != 0) {
            c.error = error_from_errno(errno);
            return c;
        }
        c.fd = std::move(fd);
        return c;
    }
    if (errno != EWOULDBLOCK) {
        c.error = error_from_errno(errno);
        return c;
    }
    c.existed = true;
    c.record = read_record(fd.get());
    if (mode == NameMode::create_exclusive) {
        c.error = ERROR_ALREADY_EXISTS;
        return c;
    }
    if (first_word(c.record) != first_word(record)) {
        c.error = ERROR_INVALID_HANDLE;
        return c;
    }
    // Holders hold it shared only (exclusive tests happen under the guard), so this is at once.
    if (flock_retry(fd.get(), LOCK_SH) != 0) {
        c.error = error_from_errno(errno);
        return c;
    }
    c.fd = std::move(fd);
    return c;
}

} // namespace

NameHold::~NameHold() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.entries.find(key_);
    // A new object may already hold the name again; then the entry is no longer expired.
    if (it != r.entries.end() && it->second.object.expired()) {
        if (it->second.fd >= 0) {
            ::close(it->second.fd);
        }
        r.entries.erase(it);
    }
}

NameLookup find_or_make_named(const char* name, const std::string& kind, const std::string& record,
                              NameMode mode, const MakeNamed& make) {
    NameLookup result;
    std::shared_ptr<WaitableObject> keep; // destroyed after the lock below is released
    const auto dir = objects_dir();
    const std::string key = (dir / file_name_for(name)).string();

    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    const auto it = r.entries.find(key);
    if (it != r.entries.end()) {
        keep = it->second.object.lock();
        if (keep) {
            result.existed = true;
            if (mode == NameMode::create_exclusive) {
                result.error = ERROR_ALREADY_EXISTS;
            } else if (first_word(read_record(it->second.fd)) != kind) {
                result.error = ERROR_INVALID_HANDLE;
            } else {
                result.object = keep;
            }
            return result;
        }
        // Its object is being destroyed: let go of the old lock before claiming afresh.
        if (it->second.fd >= 0) {
            ::close(it->second.fd);
        }
        r.entries.erase(it);
    }

    Claim c = claim(key, dir / ".guard", record, mode);
    result.existed = c.existed;
    if (c.error != 0) {
        result.error = c.error;
        return result;
    }
    keep = make(c.existed ? c.record : record, !c.existed, std::make_unique<NameHold>(key));
    r.entries[key] = Entry{keep, c.fd.release()};
    result.object = keep;
    return result;
}

bool name_is_held(const char* name) {
    const auto dir = objects_dir();
    const std::string key = (dir / file_name_for(name)).string();
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        const auto it = r.entries.find(key);
        if (it != r.entries.end() && !it->second.object.expired()) {
            return true;
        }
    }
    Fd guard(::open((dir / ".guard").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (guard.get() < 0 || flock_retry(guard.get(), LOCK_EX) != 0) {
        return false;
    }
    Fd fd(::open(key.c_str(), O_RDWR | O_CLOEXEC));
    if (fd.get() < 0) {
        return false;
    }
    return flock_retry(fd.get(), LOCK_EX | LOCK_NB) != 0;
}

} // namespace platform::detail

namespace platform {

bool named_object_exists(const char* name) {
    return name != nullptr && *name != '\0' && detail::name_is_held(name);
}

} // namespace platform
