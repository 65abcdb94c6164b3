#pragma once
// The reply side of the boot-loader protocol without the port: bytes in,
// lines and download requests out, handed on to a ReplySink. The receive
// thread feeds it what it reads; tests feed it directly.
//
// A line is complete at an LF or as soon as it holds "KVOE". Zero bytes are
// dropped. A line longer than 999 characters keeps its first 999; the rest
// is dropped up to the line's end, which is still found.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvash::bootlink {

// The value of `key` (three characters) at its first occurrence in `line`:
// the text after the key, leading CR and BS skipped, up to the next CR or BS
// or the end of the line (a trailing LF stays). Empty when the key is absent
// or nothing follows it.
std::string_view GetKeyValue(std::string_view line, std::string_view key);

// Where the parser hands on what it found. Called on the parser's thread.
class ReplySink {
 public:
  virtual ~ReplySink() = default;
  // Whether a download runs: then request bytes are looked for and lines
  // are dropped.
  virtual bool Downloading() const = 0;
  // Bytes other than zero arrived (once per TakeBytes, before the first).
  virtual void BytesArrived() = 0;
  // The loader asked for the file header (0x01) or a record (0x02).
  virtual void HeaderRequested() = 0;
  virtual void RecordRequested() = 0;
  // A complete line arrived while no download runs.
  virtual void LineArrived(std::string_view line) = 0;
};

// Gathers bytes into its line. Owned by one thread (the receive thread).
class ReplyParser {
 public:
  explicit ReplyParser(ReplySink& sink) : sink_(sink) {}
  // Takes bytes in arrival order, with the effects of each byte before the
  // next: BytesArrived (once per call, before the first non-zero byte),
  // download requests, complete lines.
  void TakeBytes(const uint8_t* bytes, size_t count);
  // Characters in the line being collected.
  size_t LineLength() const { return length_; }

  static constexpr size_t kLineCapacity = 999;

 private:
  void TakeByte(uint8_t byte);
  void ClearLine();
  // During a download: 0x01 / 0x02 in the line (or just dropped past its end).
  void LookForRequests(uint8_t byte, bool stored);
  bool LineComplete(uint8_t byte) const;

  ReplySink& sink_;
  char line_[kLineCapacity + 1] = {};
  size_t length_ = 0;
  char recent_[4] = {};  // the last four bytes taken into this line, stored or not
  size_t recentCount_ = 0;
};

}  // namespace corvash::bootlink
