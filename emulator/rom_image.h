#pragma once
// The ROM that `init` puts into a new handheld's flash: the payload of an
// image file (32-byte text header, then the payload), or a generated one.
// Payload byte p lies at boot-loader address 0xA0000000 + p, which is where
// the two loads of a flash put it (bytes from 0x80000 by the first, 0x40000
// to 0x7FFFF by the second; the first 0x40000 bytes hold the boot loader
// itself and no flash rewrites them) and where a backup reads it from.
#include <cstdint>
#include <filesystem>
#include <string>

#include "common/flash_layout.h"
#include "common/rom_image_format.h"
#include "emulator/flash_image.h"
#include "emulator/identity_record.h"

namespace corvash::emulator {

using common::kHeaderSize;
// Payload of a generated ROM (and of a backup): 124 chunks of 0x40000.
inline constexpr size_t kGeneratedPayloadLength = 0x1F00000;
// Where the reserve area lies in a payload.
using common::kReserveBlockLength;
using common::kReserveBlockOffset;

// The text fields of an image file's header.
struct RomHeader {
  std::string model;     // bytes 0-8
  std::string variant;   // 10-12
  std::string language;  // 14-16
  std::string version;   // 18-21
};

// Reads the header of the image at `path`. False with `error` when the file
// cannot be read or is shorter than its header.
bool ReadRomHeader(const std::filesystem::path& path, RomHeader* header, std::string* error);

// Copies the payload of the image at `path` into `flash` from its base.
// False with `error` when the file cannot be read or its payload is longer
// than `maxPayload` bytes.
bool LoadRomPayload(const std::filesystem::path& path, FlashImage& flash, size_t maxPayload,
                    std::string* error);

// The generated payload's byte at `offset` outside the reserve block: a fixed
// pattern without long runs of 0xFF, so that it never reads as erased.
uint8_t GeneratedByte(size_t offset);

// Puts a generated payload of `length` bytes into `flash` from its base: the
// pattern, except the reserve block, which is erased but for the identity
// record in its first slot, as an image built for this handheld carries it.
void StoreGeneratedRom(FlashImage& flash, const HandheldIdentity& identity, size_t length);

}  // namespace corvash::emulator
