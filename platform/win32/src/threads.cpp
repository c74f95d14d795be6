#include "platform/sync.h"
#include "wait_lock.h"
#include "win32/errors.h"
#include "win32/threads.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <unistd.h>

namespace platform {
namespace {

// A thread made by CreateThread: signalled when it has ended.
class ThreadObject final : public WaitableObject {
public:
    ThreadObject(LPTHREAD_START_ROUTINE start, LPVOID parameter)
        : start(start), parameter(parameter) {}

    bool ready(DWORD) const override { return finished_; }

    void finish(DWORD code) {
        change_state([&] {
            exit_code_ = code;
            finished_ = true;
        });
    }
    DWORD exit_code() const {
        std::lock_guard lock(detail::wait_mutex());
        return exit_code_;
    }

    const LPTHREAD_START_ROUTINE start;
    const LPVOID parameter;

    // Start-up hand-shake: the new thread reports its id before CreateThread returns.
    std::mutex started_mutex;
    std::condition_variable started;
    DWORD id = 0;

private:
    DWORD exit_code_ = STILL_ACTIVE; // guarded by the wait lock
    bool finished_ = false;
};

thread_local DWORD exit_code_of_thread = 0;

// Ends the thread's object however the thread leaves its start routine: by returning, or by
// ExitThread, which unwinds the stack through here.
struct FinishOnExit {
    std::shared_ptr<ThreadObject> thread;
    ~FinishOnExit() { thread->finish(exit_code_of_thread); }
};

void* trampoline(void* arg) {
    auto* boxed = static_cast<std::shared_ptr<ThreadObject>*>(arg);
    FinishOnExit guard{std::move(*boxed)};
    delete boxed;
    ThreadObject& self = *guard.thread;
    {
        std::lock_guard lock(self.started_mutex);
        self.id = GetCurrentThreadId();
    }
    self.started.notify_all();
    exit_code_of_thread = self.start(self.parameter);
    return nullptr;
}

} // namespace
} // namespace platform

extern "C" {

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (lpStartAddress == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (dwCreationFlags & CREATE_SUSPENDED) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto thread = std::make_shared<platform::ThreadObject>(lpStartAddress, lpParameter);

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    // A size below the default is only a commitment on Windows; the stack is never smaller.
    std::size_t default_size = 0;
    pthread_attr_getstacksize(&attr, &default_size);
    if (dwStackSize > default_size) {
        const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
        pthread_attr_setstacksize(&attr, (dwStackSize + page - 1) / page * page);
    }
    auto* boxed = new std::shared_ptr<platform::ThreadObject>(thread);
    pthread_t tid;
    const int rc = pthread_create(&tid, &attr, &platform::trampoline, boxed);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete boxed;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    DWORD id;
    {
        std::unique_lock lock(thread->started_mutex);
        thread->started.wait(lock, [&] { return thread->id != 0; });
        id = thread->id;
    }
    if (lpThreadId) {
        *lpThreadId = id;
    }
    return platform::make_handle(std::move(thread));
}

void WINAPI ExitThread(DWORD dwExitCode) {
    platform::exit_code_of_thread = dwExitCode;
    pthread_exit(nullptr); // unwinds, so the thread's object is finished on the way out
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    const auto thread = platform::lookup_handle_as<platform::ThreadObject>(hThread);
    if (!thread || lpExitCode == nullptr) {
        SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpExitCode = thread->exit_code();
    return TRUE;
}

DWORD WINAPI GetCurrentThreadId() {
    thread_local const DWORD id = static_cast<DWORD>(::gettid());
    return id;
}

HANDLE WINAPI GetCurrentProcess() {
    return INVALID_HANDLE_VALUE; // the pseudo handle (HANDLE)-1
}

DWORD WINAPI GetCurrentProcessId() {
    // Read once, and again in a forked child: a system call per question is costly.
    static std::atomic<DWORD> pid{[] {
        pthread_atfork(nullptr, nullptr, [] {
            pid.store(static_cast<DWORD>(::getpid()), std::memory_order_relaxed);
        });
        return static_cast<DWORD>(::getpid());
    }()};
    return pid.load(std::memory_order_relaxed);
}
}
