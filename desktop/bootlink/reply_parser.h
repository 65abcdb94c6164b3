#pragma once
// The reply side of the boot-loader protocol without the port: bytes in,
// lines out, keys acted on. The receive thread feeds it what it reads; tests
// feed it directly.
//
// A line is complete at an LF or as soon as it holds "KVOE". Zero bytes are
// dropped. A line longer than Session().rxLine (999 characters) keeps its
// first 999 characters; the rest is dropped up to the line's end, which is
// still found. Every copy into a fixed field is cut to the field.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "desktop/bootlink/download_context.h"

namespace corvash::bootlink {

// The value of `key` (three characters) at its first occurrence in `line`:
// the text after the key, leading CR and BS skipped, up to the next CR or BS
// or the end of the line (a trailing LF stays). Empty when the key is absent
// or nothing follows it.
std::string_view GetKeyValue(std::string_view line, std::string_view key);

// Acts on every reply key of a complete line, in order: ":F=" (file name :=
// imagePath), ":A=", ":L=", ":O=" (context texts), "start NB image download"
// (starts the download thread), "KVOE" (frameReply := line), "Port Test"
// (portTestReply := line, PortTestEvent pulsed). Only while DownloadActive
// is 0; during a download the line is dropped.
void ActOnReplyLine(std::string_view line, DownloadContext& context);

// Gathers bytes into Session().rxLine. Owned by the receive thread.
class ReplyParser {
 public:
  explicit ReplyParser(DownloadContext& context);
  // Takes bytes in arrival order, with the effects of each byte before the
  // next: the watchdog re-armed (once per call, before the first non-zero
  // byte), download requests signalled, complete lines acted on.
  void TakeBytes(const uint8_t* bytes, size_t count);
  // Characters in the line being collected.
  size_t LineLength() const { return length_; }

 private:
  void TakeByte(uint8_t byte);
  void ClearLine();
  // During a download: 0x01 / 0x02 in the line (or just dropped past its end).
  void LookForRequests(uint8_t byte, bool stored);
  bool LineComplete(uint8_t byte) const;

  DownloadContext& context_;
  size_t length_ = 0;
  char recent_[4] = {};  // the last four bytes taken into this line, stored or not
  size_t recentCount_ = 0;
};

}  // namespace corvash::bootlink
