#include "platform/handles.h"

#include "win32/errors.h"

#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

struct Table {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    std::unordered_map<const KernelObject*, std::size_t> handle_counts; // several handles may
                                                                        // name one object
    std::uintptr_t next = 0x100;                                        // multiples of 4, as on NT
};

Table& table() {
    static Table t;
    return t;
}

} // namespace

HANDLE make_handle(std::shared_ptr<KernelObject> object) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const std::uintptr_t value = t.next;
    t.next += 4;
    ++t.handle_counts[object.get()];
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> lookup_handle(HANDLE h) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(h));
    return it == t.objects.end() ? nullptr : it->second;
}

bool close_handle(HANDLE h) {
    std::shared_ptr<KernelObject> object;
    bool last = false;
    {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        const auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(h));
        if (it == t.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        object = std::move(it->second);
        t.objects.erase(it);
        const auto count = t.handle_counts.find(object.get());
        last = --count->second == 0;
        if (last) {
            t.handle_counts.erase(count);
        }
    }
    if (last) {
        object->on_close(); // outside the lock: a close may close further handles
    }
    return true;
}

} // namespace platform
