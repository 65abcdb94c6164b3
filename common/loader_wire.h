#pragma once
// The wire contract with the handheld's boot loader: every text the desktop
// sends, every key and byte it looks for in the loader's answers, and the
// sizes of the binary download records. Both ends include this header: the
// desktop's link code and the emulated loader of k5210-emu.
//
// Conventions of the wire: 8-bit bytes, ASCII text. A plain command is one
// line ending in CR. A framed command is "KVOS" + the command line with its
// CR + "KVOE", written at once, with nothing after "KVOE". Numbers the desktop
// formats are lower-case hexadecimal without leading zeros or "0x". Binary
// fields of the download records are 32-bit little-endian.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "common/flash_layout.h"
#include "common/rom_image_format.h"

namespace corvash::common {

// ---- Line ends ------------------------------------------------------------
inline constexpr char CR = '\r';
inline constexpr char LF = '\n';
inline constexpr char BS = '\b';

// ---- Messages the desktop sends (in the order of a whole flash) ------------

// Clears whatever the loader's line editor holds: before a port test line,
// and before "$QEL$\r" or the screen text when a command session is open.
inline constexpr std::string_view CR_BURST = "\r\r\r\r\r\r\r\r";  // 8 bytes

// Port test lines, one per candidate kind. The loader echoes them.
inline constexpr std::string_view COM1_TEST_LINE = "COM1 Port Test\r";  // 15 bytes
inline constexpr std::string_view COM2_TEST_LINE = "COM2 Port Test\r";  // 15 bytes
inline constexpr std::string_view USB_TEST_LINE = "USB Port Test\r";    // 14 bytes

// Command session: opened by this plain line, closed by the framed one.
inline constexpr std::string_view SESSION_OPEN = "$QEL$\r";            // 6 bytes
inline constexpr std::string_view SESSION_CLOSE = "KVOS$QEL$\rKVOE";   // 14 bytes

// Frame markers.
inline constexpr std::string_view FRAME_START = "KVOS";
inline constexpr std::string_view FRAME_END = "KVOE";

// Flash read: "KVOSreaddata <address> 28\rKVOE", the address in lower-case
// hexadecimal without leading zeros. "28" is sent as it stands.
inline constexpr std::string_view READDATA_COMMAND = "readdata";
inline constexpr std::string_view READDATA_LENGTH_TEXT = "28";
// The answer is one line holding "KVOE": READDATA_REPLY_SKIP bytes of the
// loader's own, then the bytes read from flash (ERASED_BYTE = erased).
inline constexpr size_t READDATA_REPLY_SKIP = 5;
inline constexpr uint8_t ERASED_BYTE = kErasedByte;

// The framed read command for `address`; 29 bytes for an 8-digit address.
inline std::string ReadDataCommand(uint32_t address) {
  char text[48];
  const int length = std::snprintf(text, sizeof text, "KVOSreaddata %x 28\rKVOE", address);
  return std::string(text, static_cast<size_t>(length));
}

// Load commands: "lnb " FILE " " ADDRESS " " SIZE " " OFFSET "\r".
// The file text is sent literally; it is not the image's path on the PC.
inline constexpr std::string_view LNB_COMMAND = "lnb";
inline constexpr std::string_view LNB_FILE = "c:\\test.nbf";
inline constexpr std::string_view LNB_ADDRESS = "A0000000";
inline constexpr std::string_view LNB_FIRST_OFFSET = "00080000";   // first load; size = image body, hex
inline constexpr std::string_view LNB_SECOND_SIZE = "80000";       // second load
inline constexpr std::string_view LNB_SECOND_OFFSET = "00040000";  // second load

// First load: the image body size (file size less its 32-byte header) in
// lower-case hexadecimal.
inline std::string FirstLoadCommand(uint32_t bodySize) {
  char size[16];
  const int length = std::snprintf(size, sizeof size, "%x", bodySize);
  std::string line = "lnb ";
  line.append(LNB_FILE).append(" ").append(LNB_ADDRESS).append(" ");
  line.append(size, static_cast<size_t>(length)).append(" ").append(LNB_FIRST_OFFSET).append("\r");
  return line;
}
// Second load: always the same 40 bytes.
inline constexpr std::string_view SECOND_LOAD_COMMAND = "lnb c:\\test.nbf A0000000 80000 00040000\r";

// Screen text: "shmsg <row> <column> \"<text>\"\r", row and column in hex.
// The closing picture is these 16 lines in order; lines 7 to 10 carry one
// character of the image version each in place of "%c".
inline constexpr std::string_view SHMSG_COMMAND = "shmsg";
inline constexpr std::array<std::string_view, 16> VERSION_BOX_LINES = {
    "shmsg b 1 \"************\"\r",
    "shmsg c 1 \"*\"\r",
    "shmsg c c \"*\"\r",
    "shmsg d 1 \"*\"\r",
    "shmsg d c \"*\"\r",
    "shmsg e 1 \"*\"\r",
    "shmsg e 5 \"%c\"\r",
    "shmsg e 6 \"%c\"\r",
    "shmsg e 7 \"%c\"\r",
    "shmsg e 8 \"%c\"\r",
    "shmsg e c \"*\"\r",
    "shmsg f 1 \"*\"\r",
    "shmsg f c \"*\"\r",
    "shmsg 10 1 \"*\"\r",
    "shmsg 10 c \"*\"\r",
    "shmsg 11 1 \"************\"\r",
};
// Indexes (0-based) of the four version-character lines.
inline constexpr size_t VERSION_BOX_FIRST_CHAR_LINE = 6;
inline constexpr size_t VERSION_BOX_CHAR_LINES = 4;

// ---- What the loader sends back -------------------------------------------

// A received line is complete at an LF or once it holds "KVOE".
// Reply keys, looked for anywhere in a complete line, acted on in this order.
inline constexpr std::string_view KEY_FILE = ":F=";
inline constexpr std::string_view KEY_ADDRESS = ":A=";
inline constexpr std::string_view KEY_LENGTH = ":L=";
inline constexpr std::string_view KEY_OFFSET = ":O=";
inline constexpr std::string_view START_DOWNLOAD_KEY = "start NB image download";
inline constexpr std::string_view FRAME_REPLY_KEY = FRAME_END;  // "KVOE"
inline constexpr std::string_view PORT_TEST_KEY = "Port Test";
inline constexpr size_t KEY_LENGTH_CHARS = 3;  // ":X="

// During a download the loader paces the desktop with single bytes.
inline constexpr uint8_t NOTIFY_HEADER_BYTE = 0x01;  // sync header taken: send the file header
inline constexpr uint8_t NOTIFY_RECORD_BYTE = 0x02;  // send the next record (or the end record)

// ---- Download records (desktop -> loader) ---------------------------------
inline constexpr std::string_view SYNC_HEADER = "B000FF\n";  // 7 bytes
inline constexpr size_t FILE_HEADER_LENGTH = 8;     // u32 start address, u32 byte count
inline constexpr size_t RECORD_HEADER_LENGTH = 12;  // u32 address, u32 BLOCK_LENGTH, u32 0
inline constexpr size_t END_RECORD_LENGTH = 12;     // three zero u32
inline constexpr uint32_t BLOCK_LENGTH = 0x20000;   // data bytes per record
inline constexpr uint32_t TXQUEUE = 1024;           // bytes per write of a record
inline constexpr uint32_t LENGTH_WHOLE_FILE = 0xFFFFFFFFu;  // ":L=" value: the whole file
inline constexpr uint32_t IMAGE_HEADER_LENGTH = kHeaderSize;  // header of a ROM image file

// ---- The loader's flash ----------------------------------------------------
inline constexpr uint32_t FLASH_BASE = kFlashBase;
inline constexpr uint32_t FLASH_END = kFlashEnd;

// ---- Line settings -----------------------------------------------------------
inline constexpr uint32_t BAUD_RATE = 115200;  // 8 data bits, no parity, one stop bit

}  // namespace corvash::common
