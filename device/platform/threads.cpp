#include "device/platform/threads.h"

#include <atomic>
#include <memory>
#include <system_error>
#include <thread>

#include "common/clock.h"
#include "device/platform/handle_table.h"

namespace corvash::ce {
namespace {

class Thread : public KernelObject {};

std::atomic<DWORD> nextThreadId{0x1000};

}  // namespace

HANDLE CreateThread(void* /*lpThreadAttributes*/, DWORD /*dwStackSize*/, LPTHREAD_START_ROUTINE lpStartAddress,
                    void* lpParameter, DWORD /*dwCreationFlags*/, DWORD* lpThreadId) {
  if (lpStartAddress == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  try {
    std::thread([lpStartAddress, lpParameter] { lpStartAddress(lpParameter); }).detach();
  } catch (const std::system_error&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (lpThreadId != nullptr) *lpThreadId = nextThreadId.fetch_add(4);
  return AddHandle(std::make_shared<Thread>());
}

void Sleep(DWORD dwMilliseconds) { common::SleepMs(dwMilliseconds); }

}  // namespace corvash::ce
