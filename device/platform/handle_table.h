#pragma once
// The process's kernel handles: every object a service hands out as a HANDLE
// (open files now; processes and windows join them) lives here until
// CloseHandle. Handle values are never reused within a process, so a stale
// handle is refused instead of reaching another object. Any thread.
#include <memory>

#include "device/platform/ce_types.h"

namespace corvash::ce {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

HANDLE AddHandle(std::shared_ptr<KernelObject> object);
// The live object of `handle`, or null.
std::shared_ptr<KernelObject> FindHandle(HANDLE handle);

template <typename T>
std::shared_ptr<T> FindHandleOf(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(FindHandle(handle));
}

// Drops the handle; the object goes when its last user lets it go. FALSE
// with ERROR_INVALID_HANDLE for a handle that is not live.
BOOL CloseHandle(HANDLE handle);

}  // namespace corvash::ce
