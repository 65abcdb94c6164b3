#pragma once
// The handheld's flash as a byte image at boot-loader addresses. Erased bytes
// read 0xFF. Two kinds of writes: Store() puts bytes as they are (the boot
// loader erases a block before it programs it), Program() only clears bits,
// as programming flash without an erase does. Addresses outside the image
// read as erased and take no writes.
//
// The image lives in a file (the state folder's flash, mapped shared so that
// another process reading the file sees every write) or in memory (tests).
// All calls are thread-safe.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "common/flash_layout.h"

namespace corvash::emulator {

using common::kErasedByte;
using common::kFlashBase;

class FlashImage {
 public:
  ~FlashImage();
  FlashImage(const FlashImage&) = delete;
  FlashImage& operator=(const FlashImage&) = delete;

  // An erased image of `size` bytes from `base`, in memory.
  static std::unique_ptr<FlashImage> InMemory(uint32_t base, size_t size);
  // Makes (or replaces) the file at `path`, `size` erased bytes, and maps it.
  // Null and `error` set when the file cannot be made.
  static std::unique_ptr<FlashImage> CreateFile(const std::filesystem::path& path, uint32_t base,
                                                size_t size, std::string* error);
  // Maps an existing flash file. Null and `error` set when it cannot.
  static std::unique_ptr<FlashImage> OpenFile(const std::filesystem::path& path, uint32_t base,
                                              std::string* error);

  uint32_t Base() const { return base_; }
  size_t Size() const { return size_; }

  // Fills `out` with the bytes from `address`; bytes outside the image are 0xFF.
  void Read(uint32_t address, std::span<uint8_t> out) const;
  // Puts `bytes` at `address` as they are. Returns how many landed inside the image.
  size_t Store(uint32_t address, std::span<const uint8_t> bytes);
  // Clears the bits that are 0 in `bytes` (flash programming). Returns how
  // many bytes landed inside the image.
  size_t Program(uint32_t address, std::span<const uint8_t> bytes);
  // Sets `length` bytes from `address` to 0xFF (inside the image).
  void Erase(uint32_t address, size_t length);
  // Pushes a file-backed image to its file.
  void Flush();

 private:
  FlashImage(uint32_t base, uint8_t* data, size_t size, bool mapped);
  // The part of [address, address + length) inside the image, as an offset and length.
  bool Clip(uint32_t address, size_t length, size_t* offset, size_t* skip, size_t* count) const;

  uint32_t base_;
  uint8_t* data_;
  size_t size_;
  bool mapped_;
  mutable std::mutex mutex_;
};

}  // namespace corvash::emulator
