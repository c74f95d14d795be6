// The hive files: cached per process, re-read when another process rewrote them, rewritten
// atomically under a file lock.
#include "registry_hive.h"
#include "win32_owners/unique_fd.h"

#include "platform/paths.h"
#include "platform/registry_store.h"
#include "win32/errors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::registry {
namespace {

// A hive file beyond this is not taken as one.
constexpr off_t kMaxHiveBytes = off_t(1) << 30;

// What identifies one version of a hive file.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    std::int64_t mtime_ns = 0;
    std::uint64_t generation = 0;
    bool operator==(const FileId&) const = default;
};

struct Hive {
    bool loaded = false;  // `root` is what the file (or its absence) holds
    bool present = false; // the file existed
    FileId id;
    KeyNode root;
    std::optional<FileId> reported; // the corrupt version already told about
};

struct Store {
    std::mutex mutex;
    std::map<std::string, Hive> hives; // by hive file path: the system root may change
    unsigned serial = 0;
};

Store& store() {
    static Store s;
    return s;
}

std::filesystem::path hive_file(Root root) {
    const auto dir = system_root() / "registry";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir / (root == Root::LocalMachine ? "machine.hive" : "user.hive");
}

// flock on "<hive>.lock": the hive itself is replaced by rename, so it cannot carry the lock.
class FileLock {
public:
    FileLock(const std::filesystem::path& file, bool exclusive)
        : fd_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
        if (fd_.valid()) {
            int r;
            do {
                r = ::flock(fd_.get(), exclusive ? LOCK_EX : LOCK_SH);
            } while (r != 0 && errno == EINTR);
            ok_ = r == 0;
        }
    }
    bool ok() const { return ok_; }

private:
    win32_owners::UniqueFd fd_;
    bool ok_ = false;
};

bool read_all(int fd, std::vector<BYTE>& out, std::size_t size) {
    out.resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out.data() + done, size - done, off_t(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

FileId id_of(const struct stat& st, std::uint64_t generation) {
    return FileId{st.st_dev, st.st_ino, st.st_size,
                  std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, generation};
}

// The generation field of the header (0 when the header is short).
std::uint64_t header_generation(int fd) {
    BYTE header[kHeaderSize] = {};
    if (::pread(fd, header, sizeof header, 0) != ssize_t(sizeof header)) {
        return 0;
    }
    std::uint64_t g = 0;
    for (int i = 0; i < 8; ++i) {
        g |= std::uint64_t(header[12 + i]) << (8 * i);
    }
    return g;
}

void report_corrupt(Hive& h, const std::filesystem::path& file, const FileId& id,
                    const std::string& why) {
    h.loaded = false;
    if (h.reported && *h.reported == id) {
        return;
    }
    h.reported = id;
    std::fprintf(stderr,
                 "registry: the hive file %s is corrupt (%s); it is left as it is and the "
                 "registry calls on it fail\n",
                 file.c_str(), why.c_str());
}

// Brings `h` up to the file's current version.
LONG refresh(Hive& h, const std::filesystem::path& file) {
    win32_owners::UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno != ENOENT) {
            return ERROR_CANTREAD;
        }
        if (!h.loaded || h.present) {
            h.root = KeyNode{};
            h.id = FileId{};
            h.present = false;
            h.loaded = true;
        }
        return ERROR_SUCCESS;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return ERROR_CANTREAD;
    }
    const FileId id = id_of(st, header_generation(fd.get()));
    if (h.loaded && h.present && h.id == id) {
        return ERROR_SUCCESS;
    }
    if (st.st_size > kMaxHiveBytes) {
        report_corrupt(h, file, id, "file too large");
        return ERROR_REGISTRY_CORRUPT;
    }
    std::vector<BYTE> bytes;
    if (!read_all(fd.get(), bytes, std::size_t(st.st_size))) {
        return ERROR_CANTREAD;
    }
    std::string why;
    auto parsed = parse(bytes, why);
    if (!parsed) {
        report_corrupt(h, file, id, why);
        return ERROR_REGISTRY_CORRUPT;
    }
    h.root = std::move(parsed->root);
    h.id = id;
    h.present = true;
    h.loaded = true;
    return ERROR_SUCCESS;
}

LONG save(Hive& h, const std::filesystem::path& file, unsigned serial) {
    const std::uint64_t generation = h.id.generation + 1;
    const std::vector<BYTE> bytes = serialize(h.root, generation);
    const std::string temp =
        file.string() + ".new." + std::to_string(::getpid()) + "." + std::to_string(serial);
    win32_owners::UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    bool ok = fd.valid();
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        done += ok ? std::size_t(n) : 0;
    }
    struct stat st {};
    ok = ok && ::fstat(fd.get(), &st) == 0;
    ok = ok && ::close(fd.release()) == 0;
    ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        h.loaded = false; // the change did not reach the file: read it again next time
        return ERROR_CANTWRITE;
    }
    h.id = id_of(st, generation);
    h.present = true;
    return ERROR_SUCCESS;
}

// Runs `op(root, changed)` on the current hive; writes the hive when `changed` is set.
template <typename Op> LONG run(Root root, bool write, Op&& op) {
    Store& s = store();
    std::lock_guard guard(s.mutex);
    const std::filesystem::path file = hive_file(root);
    Hive& h = s.hives[file.string()];
    FileLock lock(file.string() + ".lock", write);
    if (!lock.ok()) {
        return ERROR_CANTOPEN;
    }
    LONG r = refresh(h, file);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    bool changed = false;
    r = op(h.root, changed);
    if (changed) {
        const LONG w = save(h, file, ++s.serial);
        if (w != ERROR_SUCCESS) {
            return w;
        }
    }
    return r;
}

KeyNode* find(KeyNode& root, std::string_view path) {
    KeyNode* key = &root;
    for (const std::string_view part : split_path(path)) {
        key = key->subkey(part);
        if (key == nullptr) {
            return nullptr;
        }
    }
    return key;
}

} // namespace

LONG open_key(Root root, std::string_view path) {
    return run(root, false, [&](KeyNode& top, bool&) -> LONG {
        return find(top, path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

LONG create_key(Root root, std::string_view path, bool* created) {
    const auto parts = split_path(path);
    if (parts.size() > kMaxDepth) {
        return ERROR_INVALID_PARAMETER;
    }
    for (const std::string_view part : parts) {
        if (part.size() > kMaxKeyName) {
            return ERROR_INVALID_PARAMETER;
        }
    }
    bool made = false;
    const LONG r = run(root, true, [&](KeyNode& top, bool& changed) -> LONG {
        KeyNode* key = &top;
        for (const std::string_view part : parts) {
            KeyNode* next = key->subkey(part);
            made = next == nullptr;
            key = next ? next : &key->add_subkey(std::string(part));
            changed = changed || made;
        }
        return ERROR_SUCCESS;
    });
    if (created) {
        *created = r == ERROR_SUCCESS && made;
    }
    return r;
}

namespace {

// Deletes the key at `path`; one with subkeys only when `tree` is set.
LONG remove_key(Root root, std::string_view path, bool tree) {
    auto parts = split_path(path);
    if (parts.empty()) {
        return ERROR_ACCESS_DENIED;
    }
    return run(root, true, [&](KeyNode& top, bool& changed) -> LONG {
        KeyNode* parent = &top;
        for (std::size_t i = 0; i + 1 < parts.size() && parent; ++i) {
            parent = parent->subkey(parts[i]);
        }
        KeyNode* key = parent ? parent->subkey(parts.back()) : nullptr;
        if (key == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (!tree && !key->subkeys.empty()) {
            return ERROR_ACCESS_DENIED;
        }
        parent->remove_subkey(parts.back());
        changed = true;
        return ERROR_SUCCESS;
    });
}

} // namespace

LONG delete_key(Root root, std::string_view path) {
    return remove_key(root, path, false);
}

LONG delete_tree(Root root, std::string_view path) {
    return remove_key(root, path, true);
}

LONG query_value(Root root, std::string_view path, std::string_view name, Value& out) {
    return run(root, false, [&](KeyNode& top, bool&) -> LONG {
        KeyNode* key = find(top, path);
        if (key == nullptr) {
            return ERROR_KEY_DELETED;
        }
        const ValueNode* v = key->value(name);
        if (v == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        out = Value{v->name, v->type, v->data};
        return ERROR_SUCCESS;
    });
}

LONG set_value(Root root, std::string_view path, std::string_view name, DWORD type,
               const void* data, std::size_t size) {
    if (name.size() > kMaxValueName || size > 0xFFFFFFFFu || (data == nullptr && size != 0)) {
        return ERROR_INVALID_PARAMETER;
    }
    const auto* bytes = static_cast<const BYTE*>(data);
    return run(root, true, [&](KeyNode& top, bool& changed) -> LONG {
        KeyNode* key = find(top, path);
        if (key == nullptr) {
            return ERROR_KEY_DELETED;
        }
        ValueNode* v = key->value(name);
        if (v == nullptr) {
            key->values.push_back(ValueNode{std::string(name), 0, {}});
            v = &key->values.back();
        }
        v->type = type;
        v->data.assign(bytes, bytes + size);
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG delete_value(Root root, std::string_view path, std::string_view name) {
    return run(root, true, [&](KeyNode& top, bool& changed) -> LONG {
        KeyNode* key = find(top, path);
        if (key == nullptr) {
            return ERROR_KEY_DELETED;
        }
        if (!key->remove_value(name)) {
            return ERROR_FILE_NOT_FOUND;
        }
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG enum_key(Root root, std::string_view path, DWORD index, std::string& name) {
    return run(root, false, [&](KeyNode& top, bool&) -> LONG {
        const KeyNode* key = find(top, path);
        if (key == nullptr) {
            return ERROR_KEY_DELETED;
        }
        if (index >= key->subkeys.size()) {
            return ERROR_NO_MORE_ITEMS;
        }
        name = key->subkeys[index]->name;
        return ERROR_SUCCESS;
    });
}

LONG enum_value(Root root, std::string_view path, DWORD index, Value& out) {
    return run(root, false, [&](KeyNode& top, bool&) -> LONG {
        const KeyNode* key = find(top, path);
        if (key == nullptr) {
            return ERROR_KEY_DELETED;
        }
        if (index >= key->values.size()) {
            return ERROR_NO_MORE_ITEMS;
        }
        const ValueNode& v = key->values[index];
        out = Value{v.name, v.type, v.data};
        return ERROR_SUCCESS;
    });
}

LONG key_info(Root root, std::string_view path, KeyInfo& out) {
    return run(root, false, [&](KeyNode& top, bool&) -> LONG {
        const KeyNode* key = find(top, path);
        if (key == nullptr) {
            return ERROR_KEY_DELETED;
        }
        out = KeyInfo{};
        out.subkeys = DWORD(key->subkeys.size());
        out.values = DWORD(key->values.size());
        for (const auto& sub : key->subkeys) {
            out.max_subkey_name = std::max(out.max_subkey_name, DWORD(sub->name.size()));
        }
        for (const ValueNode& v : key->values) {
            out.max_value_name = std::max(out.max_value_name, DWORD(v.name.size()));
            out.max_value_data = std::max(out.max_value_data, DWORD(v.data.size()));
        }
        return ERROR_SUCCESS;
    });
}

LONG flush(Root root) {
    return run(root, false, [](KeyNode&, bool&) -> LONG { return ERROR_SUCCESS; });
}

std::optional<std::pair<Root, std::string>> from_kernel_path(std::string_view path) {
    const auto parts = split_path(path);
    if (parts.size() < 2 || !iequals(parts[0], "Registry") || !iequals(parts[1], "Machine")) {
        return std::nullopt;
    }
    std::string rest;
    for (std::size_t i = 2; i < parts.size(); ++i) {
        if (!rest.empty()) {
            rest += '\\';
        }
        rest += parts[i];
    }
    return std::make_pair(Root::LocalMachine, std::move(rest));
}

} // namespace platform::registry
