#pragma once
// The backup agent (backup.exe): it reads the handheld's flash through a
// mapped view and hands it to the desktop in chunk files, one at a time,
// all under one name in the temp folder. The agent creates each chunk new
// and unshared; the desktop reads it and deletes it, and only the deletion
// lets the agent create the next one.
//
// Threads: the main thread runs the agent's window and its message loop;
// the worker (BackupThread) writes the chunks and ends the program only by
// posting a close request to that window.
#include <cstdint>

#include "device/platform/ce_types.h"
#include "device/platform/windows.h"

namespace corvash::backup {

inline constexpr const ce::WCHAR* kWindowClass = u"ImageBackup";
inline constexpr ce::DWORD CHUNK_SIZE = 0x40000;
inline constexpr ce::DWORD IMAGE_SIZE_SMALL = 0x1F00000;  // 124 chunks
inline constexpr ce::DWORD IMAGE_SIZE_LARGE = 0x2000000;  // 128 chunks
inline constexpr ce::DWORD FLASH_VIEW_SIZE = 0x2000000;
inline constexpr uint32_t FLASH_KERNEL_ADDRESS = 0xA0000000u;
inline constexpr ce::DWORD CREATE_WAIT_MS = 100;
inline constexpr int CREATE_ATTEMPTS = 2001;
// How long start-up waits for an ended earlier agent to be gone (its chunk
// file closed) before it deletes that chunk file.
inline constexpr ce::DWORD EARLIER_AGENT_END_MS = 5000;

// The chunk file's device path, zero-terminated.
void ChunkPath(ce::WCHAR (&path)[260]);

// Ends an earlier agent that still shows its window, and deletes its chunk
// file. Traces what fails; start-up goes on either way.
void TerminateEarlierAgent();

// Registers the window class and creates the agent's window; null when
// either fails.
ce::HWND CreateAgentWindow();

// The worker: `lpParameter` is the agent's window.
ce::DWORD BackupThread(void* lpParameter);

// The image size that the device-info record tells.
ce::DWORD QueryImageSize();

}  // namespace corvash::backup
