// Object references and kernel handles.
#include "nt/zw.h"

#include "io_internal.h"
#include "kernel.h"
#include "objects.h"

#include <map>
#include <mutex>
#include <vector>

namespace tolm_nt {
namespace {

struct Reference {
    std::shared_ptr<void> owner;
    int count = 0;
};

std::mutex ob_mutex;
std::map<void*, Reference>& references() {
    static std::map<void*, Reference> r;
    return r;
}

std::mutex handle_mutex;
std::map<HANDLE, void*>& module_handles() {
    static std::map<HANDLE, void*> h;
    return h;
}

} // namespace

void note_handle(HANDLE handle, void* module) {
    if (module == nullptr) {
        return; // not a driver's (a test's or the kernel's own)
    }
    std::lock_guard lock(handle_mutex);
    module_handles()[handle] = module;
}

void forget_handle(HANDLE handle) {
    std::lock_guard lock(handle_mutex);
    module_handles().erase(handle);
}

std::size_t close_handles_of(void* module) {
    std::vector<HANDLE> left;
    {
        std::lock_guard lock(handle_mutex);
        for (auto it = module_handles().begin(); it != module_handles().end();) {
            if (it->second == module) {
                left.push_back(it->first);
                it = module_handles().erase(it);
            } else {
                ++it;
            }
        }
    }
    for (HANDLE h : left) {
        platform::close_handle(h);
    }
    return left.size();
}

void ob_insert(void* body, std::shared_ptr<void> owner) {
    std::lock_guard lock(ob_mutex);
    Reference& r = references()[body];
    if (!r.owner) {
        r.owner = std::move(owner);
    }
    ++r.count;
}

} // namespace tolm_nt

using namespace tolm_nt;

extern "C" {

namespace {
POBJECT_TYPE section_type = &section_type;
POBJECT_TYPE file_type = &file_type;
} // namespace
POBJECT_TYPE* MmSectionObjectType = &section_type;
POBJECT_TYPE* IoFileObjectType = &file_type;

NTSTATUS NTAPI ZwClose(HANDLE handle) {
    require_irql_at_most(PASSIVE_LEVEL, "ZwClose");
    forget_handle(handle);
    return platform::close_handle(handle) ? STATUS_SUCCESS : STATUS_INVALID_HANDLE;
}

NTSTATUS NTAPI ObReferenceObjectByHandle(HANDLE handle, ACCESS_MASK, POBJECT_TYPE, KPROCESSOR_MODE,
                                         PVOID* object, PVOID) {
    require_irql_at_most(DISPATCH_LEVEL, "ObReferenceObjectByHandle");
    const auto o = platform::lookup_handle_as<KernelHandleObject>(handle);
    if (!o) {
        return STATUS_INVALID_HANDLE;
    }
    void* body = o->body();
    ob_insert(body, o);
    *object = body;
    return STATUS_SUCCESS;
}

VOID NTAPI ObReferenceObject(PVOID object) {
    std::lock_guard lock(ob_mutex);
    const auto it = references().find(object);
    if (it != references().end()) {
        ++it->second.count;
    }
}

VOID NTAPI ObDereferenceObject(PVOID object) {
    std::shared_ptr<void> last;
    {
        std::lock_guard lock(ob_mutex);
        const auto it = references().find(object);
        if (it == references().end()) {
            return; // objects the kernel does not count (device objects)
        }
        if (--it->second.count == 0) {
            last = std::move(it->second.owner);
            references().erase(it);
        }
    }
    // `last` goes out of scope here, outside the lock (closing a file sends requests).
}

} // extern "C"
