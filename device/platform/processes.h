#pragma once
// Processes of the handheld: the programs the device end of the remote API
// starts are host processes, known by their process id. A process handle
// pins the process it was opened for (a pidfd), so a handle never reaches
// another process that later got the same id. Any thread.
#include <cstdint>
#include <optional>

#include "device/platform/ce_types.h"

namespace corvash::ce {

inline constexpr DWORD PROCESS_ALL_ACCESS = 0x1F0FFFu;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr DWORD INFINITE = 0xFFFFFFFFu;

DWORD GetCurrentProcessId();

// A handle to the running process `dwProcessId`; null with the last error
// ERROR_INVALID_PARAMETER when no such process runs (an ended process that
// nobody has reaped yet counts as ended).
HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);
// Ends the process at once (it cannot refuse). The process may still be
// going down on return: WaitForSingleObject tells when it has ended and its
// files are closed. FALSE with ERROR_INVALID_HANDLE or ERROR_ACCESS_DENIED.
BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode);
// Waits, on the scaled clock, until the process of `hHandle` has ended:
// WAIT_OBJECT_0 when it has, WAIT_TIMEOUT when `dwMilliseconds` ran out,
// WAIT_FAILED for a handle that is not a process.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

// Ends the calling process with `uExitCode` at once, whatever its other
// threads are doing, as the platform does when a program's entry returns.
[[noreturn]] void ExitProcess(UINT uExitCode);

// What tells one run of a process id from another: its start time in clock
// ticks since boot; nullopt when no process of that id runs (or it has ended
// and waits to be reaped).
std::optional<uint64_t> ProcessStartTime(DWORD processId);

}  // namespace corvash::ce
