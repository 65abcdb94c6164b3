#pragma once
// The armed refuse-file fault of an emulated handheld: after N more
// creations of files named NAME (any folder of the file store, letter case
// ignored), creating one fails with access denied, for every creator alike
// (the device end of the remote API and the device programs).
//
// The record is one line "NAME N" in the file `refuse-file` beside the
// file store (the state folder). An empty or missing file: no fault. Every
// reader and writer locks the file (flock) for its read and write, so that
// processes never count past each other. The emulator arms and clears it;
// the store's create path (store_file.cpp) checks and counts it, and only
// Arm ever makes the file.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace corvash::common {

// STATE/refuse-file for the store STATE/files.
std::filesystem::path RefuseFileRecordPath(const std::filesystem::path& storeRoot);

class RefuseFileRecord {
 public:
  explicit RefuseFileRecord(std::filesystem::path file) : file_(std::move(file)) {}

  // After `count` more creations of files named `name`, creating one is
  // refused. False with `error` when the record cannot be written.
  bool Arm(std::string_view name, uint32_t count, std::string* error) const;
  // Lifts the fault.
  void Clear() const;

 private:
  std::filesystem::path file_;
};

// One creation of a file named `name` being decided: the record stays
// locked from the check to the count, so that nobody arms or counts in
// between. Used by one thread; the lock goes with the object.
class CreationCheck {
 public:
  CreationCheck(const std::filesystem::path& record, std::string_view name);
  ~CreationCheck();
  CreationCheck(const CreationCheck&) = delete;
  CreationCheck& operator=(const CreationCheck&) = delete;

  // False when the armed fault refuses this creation.
  bool Allowed() const { return !armed_ || left_ > 0; }
  // The creation went through: one fewer left before the fault refuses.
  void Count();

 private:
  int fd_ = -1;
  bool armed_ = false;  // a fault is armed for this name
  std::string name_;    // the armed name as recorded
  uint32_t left_ = 0;
};

}  // namespace corvash::common
