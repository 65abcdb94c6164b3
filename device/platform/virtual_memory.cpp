#include "device/platform/virtual_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <iterator>
#include <map>
#include <mutex>

#include "common/flash_layout.h"
#include "device/platform/flash_file.h"

namespace corvash::ce {
namespace {

// The reservations of the process: start address and length.
struct Reservations {
  std::mutex mutex;
  std::map<uintptr_t, size_t> ranges;
};

Reservations& TheReservations() {
  static Reservations reservations;
  return reservations;
}

// Whether [start, start + length) lies inside one reservation.
bool Reserved(uintptr_t start, size_t length) {
  Reservations& reservations = TheReservations();
  std::lock_guard lock(reservations.mutex);
  auto after = reservations.ranges.upper_bound(start);
  if (after == reservations.ranges.begin()) return false;
  const auto& [base, size] = *std::prev(after);
  return start - base <= size && length <= size - (start - base);
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

void* VirtualAlloc(void* lpAddress, DWORD dwSize, DWORD flAllocationType, DWORD /*flProtect*/) {
  if (dwSize == 0 || (flAllocationType & MEM_RESERVE) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* range = ::mmap(lpAddress, dwSize, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (range == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Reservations& reservations = TheReservations();
  std::lock_guard lock(reservations.mutex);
  reservations.ranges[reinterpret_cast<uintptr_t>(range)] = dwSize;
  return range;
}

BOOL VirtualCopy(void* lpvDest, void* lpvSrc, DWORD cbSize, DWORD /*fdwProtect*/) {
  const auto source = reinterpret_cast<uintptr_t>(lpvSrc);
  if (cbSize == 0 || !Reserved(reinterpret_cast<uintptr_t>(lpvDest), cbSize) || source < common::kFlashBase ||
      source > 0xFFFFFFFFu) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const DWORD error = MapFlashOver(lpvDest, static_cast<uint32_t>(source), cbSize);
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

BOOL VirtualFree(void* lpAddress, DWORD dwSize, DWORD dwFreeType) {
  if (dwFreeType != MEM_RELEASE || dwSize != 0) return Fail(ERROR_INVALID_PARAMETER);
  size_t length = 0;
  {
    Reservations& reservations = TheReservations();
    std::lock_guard lock(reservations.mutex);
    const auto found = reservations.ranges.find(reinterpret_cast<uintptr_t>(lpAddress));
    if (found == reservations.ranges.end()) return Fail(ERROR_INVALID_PARAMETER);
    length = found->second;
    reservations.ranges.erase(found);
  }
  ::munmap(lpAddress, length);
  return TRUE;
}

}  // namespace corvash::ce
