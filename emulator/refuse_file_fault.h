#pragma once
// The armed refuse-file fault, kept in the state folder (refuse-file: one
// line "NAME N", common/refuse_file_record.h). `run` arms and clears it
// here, and nowhere else; the file store's create path checks it and counts
// the creations, for the remote API's device end and the device programs
// alike.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/refuse_file_record.h"

namespace corvash::emulator {

class RefuseFileFault {
 public:
  explicit RefuseFileFault(std::filesystem::path file) : record_(std::move(file)) {}

  // After `count` more creations of files named `name` (any folder, letter
  // case ignored), creating one is refused. False with `error` when the
  // file cannot be written.
  bool Arm(std::string_view name, uint32_t count, std::string* error) const {
    return record_.Arm(name, count, error);
  }
  void Clear() const { record_.Clear(); }

 private:
  common::RefuseFileRecord record_;
};

}  // namespace corvash::emulator
