#pragma once
// The armed refuse-file fault, kept in the state folder (refuse-file: one
// line "NAME N") because the process that serves the remote API
// (wcescomm.exe) counts the creations while `run` arms and clears the fault.
// An empty or missing file: no fault. Every call locks the file (flock) for
// its read and write, so the two processes never count past each other.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace corvash::emulator {

class RefuseFileFault {
 public:
  explicit RefuseFileFault(std::filesystem::path file) : file_(std::move(file)) {}

  // After `count` more creations of files named `name` (any folder, letter
  // case ignored), creating one is refused. False with `error` when the
  // file cannot be written.
  bool Arm(std::string_view name, uint32_t count, std::string* error) const;
  void Clear() const;
  // Whether a file named `name` may be created now.
  bool AllowCreate(std::string_view name) const;
  // Counts a creation of a file named `name`.
  void Created(std::string_view name) const;

 private:
  struct Armed {
    std::string name;
    uint32_t left = 0;
  };
  // Runs `step` on the armed fault with the file locked; writes the fault
  // back when `step` returns true.
  template <typename Step>
  bool Locked(Step step) const;

  std::filesystem::path file_;
};

}  // namespace corvash::emulator
