#pragma once
// The text commands the emulated boot loader understands and the answers it
// gives. Pure functions; any thread.
//
//   lnb FILE ADDRESS LENGTH OFFSET     a load: answered by ":F=FILE", ":A=ADDRESS",
//                                      ":L=LENGTH", ":O=OFFSET" and
//                                      "start NB image download", each line ending
//                                      in CR LF, the fields as the command gave them
//   shmsg ROW COLUMN "TEXT"            draws TEXT on the screen (row, column in hex)
//   readdata ADDRESS LENGTH            (framed) reads flash: "KVOS " + LENGTH bytes
//                                      + "KVOE", hex numbers, LENGTH at most 0x400
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "emulator/flash_image.h"

namespace corvash::emulator {

// The five bytes of the loader's own before the data of a "readdata" answer.
inline constexpr std::string_view kReadDataReplyHead = "KVOS ";
// The whole answer to a "readdata" the loader cannot read (bad numbers).
inline constexpr std::string_view kReadDataRefusal = "KVOS?KVOE";
// The longest "readdata" answered; longer requests are cut to this.
inline constexpr uint32_t kMaxReadLength = 0x400;

struct LoadCommand {
  std::string file, address, length, offset;  // as written in the command
};
struct ScreenText {
  uint32_t row = 0, column = 0;
  std::string text;
};
struct ReadRequest {
  uint32_t address = 0, length = 0;
};

// "lnb FILE ADDRESS LENGTH OFFSET" (blank-separated, extra words ignored).
std::optional<LoadCommand> ParseLoadCommand(std::string_view line);
// The key lines and the start line that answer a load.
std::string LoadReply(const LoadCommand& command);
// Text between the first double quote and the last one (or the line's end).
std::optional<ScreenText> ParseScreenText(std::string_view line);
// "readdata ADDRESS LENGTH", both hexadecimal with or without "0x".
std::optional<ReadRequest> ParseReadRequest(std::string_view command);
// The framed answer: head, the bytes from flash (length cut to kMaxReadLength), "KVOE".
std::string ReadReply(const FlashImage& flash, const ReadRequest& request);

// Whether `line` is the command `word` (the word, then a blank or the end).
bool IsCommand(std::string_view line, std::string_view word);
// A hexadecimal number with an optional "0x"; nullopt when it is not one or
// does not fit 32 bits.
std::optional<uint32_t> ParseHex32(std::string_view text);

}  // namespace corvash::emulator
