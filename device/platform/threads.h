#pragma once
// Threads and sleeping on the handheld. Sleep runs on the system's one clock
// (common/clock.h), so CORVASH_TIME_SCALE shortens the device programs'
// waits as it does the desktop's. Any thread.
#include "device/platform/ce_types.h"

namespace corvash::ce {

using LPTHREAD_START_ROUTINE = DWORD (*)(void* lpParameter);

// Starts `lpStartAddress(lpParameter)` on a new thread; a handle to close
// (the thread runs on without it), or null with ERROR_NOT_ENOUGH_MEMORY. A
// thread ends when its routine returns; the process's end ends it too.
// Attributes, stack size and flags are ignored.
HANDLE CreateThread(void* lpThreadAttributes, DWORD dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                    void* lpParameter, DWORD dwCreationFlags, DWORD* lpThreadId);

// Sleeps `dwMilliseconds` system milliseconds.
void Sleep(DWORD dwMilliseconds);

}  // namespace corvash::ce
