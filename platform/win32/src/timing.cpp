#include "platform/clock.h"
#include "win32/synch.h"
#include "win32/sysinfo.h"
#include "win32/timeapi.h"

#include <thread>

extern "C" {

DWORD WINAPI GetTickCount() {
    return platform::clock::now();
}

DWORD WINAPI timeGetTime() {
    return platform::clock::now();
}

MMRESULT WINAPI timeBeginPeriod(UINT uPeriod) {
    return (uPeriod >= 1 && uPeriod <= 1000000) ? TIMERR_NOERROR : TIMERR_NOCANDO;
}

MMRESULT WINAPI timeEndPeriod(UINT uPeriod) {
    return (uPeriod >= 1 && uPeriod <= 1000000) ? TIMERR_NOERROR : TIMERR_NOCANDO;
}

void WINAPI Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == INFINITE) {
        for (;;) { // never wakes, as on Windows; advancing a manual clock would not end it
            std::this_thread::sleep_for(std::chrono::hours(1));
        }
    }
    if (dwMilliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    platform::clock::sleep(dwMilliseconds);
}
}
