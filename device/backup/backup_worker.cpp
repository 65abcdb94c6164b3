#include <cstring>

#include "device/backup/backup_agent.h"
#include "device/platform/debug_output.h"
#include "device/platform/device_files.h"
#include "device/platform/handle_table.h"
#include "device/platform/kernel_io_control.h"
#include "device/platform/threads.h"
#include "device/platform/virtual_memory.h"
#include "device/platform/wide_format.h"

namespace corvash::backup {
namespace {

// The flash view: reserved space bound to the flash's kernel address; null
// when it cannot be set up.
const uint8_t* MapFlashView() {
  void* view = ce::VirtualAlloc(nullptr, FLASH_VIEW_SIZE, ce::MEM_RESERVE, ce::PAGE_NOACCESS);
  if (view == nullptr) return nullptr;
  if (!ce::VirtualCopy(view, reinterpret_cast<void*>(static_cast<uintptr_t>(FLASH_KERNEL_ADDRESS)), FLASH_VIEW_SIZE,
                       ce::PAGE_READWRITE | ce::PAGE_NOCACHE)) {
    ce::VirtualFree(view, 0, ce::MEM_RELEASE);
    return nullptr;
  }
  return static_cast<const uint8_t*>(view);
}

// The trace shows the view's addresses as the handheld's 32-bit pointers.
ce::DWORD Address32(const uint8_t* pointer) {
  return static_cast<ce::DWORD>(reinterpret_cast<uintptr_t>(pointer) & 0xFFFFFFFFu);
}

// Creates the chunk file once the desktop has taken the last one: every
// 100 ms, at most CREATE_ATTEMPTS times. INVALID_HANDLE_VALUE when it never
// could, after the failure trace.
ce::HANDLE CreateChunkFile(const ce::WCHAR* szChunkPath, ce::DWORD dwImageSize, const uint8_t* v_pFlashIndex) {
  for (int attempt = 0; attempt < CREATE_ATTEMPTS; ++attempt) {
    ce::Sleep(CREATE_WAIT_MS);
    ce::NKDbgPrintfW(u"Create File, size = %x, Flash Index = %x\r\n", dwImageSize, Address32(v_pFlashIndex));
    const ce::HANDLE hFile = ce::CreateFileW(szChunkPath, ce::GENERIC_READ | ce::GENERIC_WRITE, 0, ce::CREATE_NEW, 0);
    if (hFile != ce::INVALID_HANDLE_VALUE) return hFile;
  }
  ce::NKDbgPrintfW(u"\r\nCreate File, fail and error code = %d\r\n", static_cast<int32_t>(ce::GetLastError()));
  return ce::INVALID_HANDLE_VALUE;
}

// Ends the program through its window.
ce::DWORD CloseAgent(ce::HWND hWnd) {
  ce::PostMessageW(hWnd, ce::WM_CLOSE, 0, 0);
  return 0;
}

}  // namespace

ce::DWORD QueryImageSize() {
  uint8_t record[ce::kDeviceInfoSize];
  std::memset(record, 0, sizeof record);
  ce::KernelIoControl(ce::IOCTL_HAL_DEVICE_INFO, nullptr, 0, record, sizeof record, nullptr);
  const ce::WCHAR digit[2] = {
      static_cast<ce::WCHAR>(record[ce::kDeviceInfoSizeDigit] | (record[ce::kDeviceInfoSizeDigit + 1] << 8)), 0};
  return ce::_wtoi(digit) < 2 ? IMAGE_SIZE_SMALL : IMAGE_SIZE_LARGE;
}

ce::DWORD BackupThread(void* lpParameter) {
  const ce::HWND hWnd = static_cast<ce::HWND>(lpParameter);
  const ce::DWORD dwImageSize = QueryImageSize();
  const uint8_t* const pFlashView = MapFlashView();
  if (pFlashView == nullptr) return CloseAgent(hWnd);
  ce::WCHAR szChunkPath[260];
  ChunkPath(szChunkPath);

  ce::DWORD dwOffset = 0;
  const uint8_t* v_pFlashIndex = pFlashView;
  do {
    const ce::HANDLE hFile = CreateChunkFile(szChunkPath, dwImageSize, v_pFlashIndex);
    if (hFile == ce::INVALID_HANDLE_VALUE) return CloseAgent(hWnd);
    ce::DWORD dwWritten = 0;
    const bool whole = ce::WriteFile(hFile, v_pFlashIndex, CHUNK_SIZE, &dwWritten) && dwWritten == CHUNK_SIZE;
    ce::CloseHandle(hFile);
    if (!whole) {
      // A short chunk is no part of the image: offer nothing after it, so
      // that the desktop cannot take later chunks as if the image were whole.
      ce::NKDbgPrintfW(u"Write data error, v_pFlashIndex = %x\n", Address32(v_pFlashIndex));
      return CloseAgent(hWnd);
    }
    v_pFlashIndex += CHUNK_SIZE;
    dwOffset += CHUNK_SIZE;
    ce::NKDbgPrintfW(u"Write File OK -- %x\r\n", dwOffset);
  } while (dwOffset < dwImageSize);

  ce::OutputDebugStringW(u"end of backup process\r\n");
  return CloseAgent(hWnd);
}

}  // namespace corvash::backup
