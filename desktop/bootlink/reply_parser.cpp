#include "desktop/bootlink/reply_parser.h"

#include <cstring>
#include <string>

#include "common/loader_wire.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {
namespace {

bool IsValueEnd(char c) { return c == common::CR || c == common::BS; }

}  // namespace

std::string_view GetKeyValue(std::string_view line, std::string_view key) {
  const size_t at = line.find(key);
  if (at == std::string_view::npos) return {};
  size_t begin = at + key.size();
  while (begin < line.size() && IsValueEnd(line[begin])) ++begin;
  size_t end = begin;
  while (end < line.size() && !IsValueEnd(line[end])) ++end;
  return line.substr(begin, end - begin);
}

void ReplyParser::ClearLine() {
  std::memset(line_, 0, length_ + 1);
  length_ = 0;
  recentCount_ = 0;
}

void ReplyParser::TakeBytes(const uint8_t* bytes, size_t count) {
  bool arrived = false;
  for (size_t i = 0; i < count; ++i) {
    if (bytes[i] != 0 && !arrived) {
      sink_.BytesArrived();
      arrived = true;
    }
    TakeByte(bytes[i]);
  }
}

void ReplyParser::TakeByte(uint8_t byte) {
  if (byte == 0) return;  // a zero byte vanishes from the line
  const bool stored = length_ < kLineCapacity;
  if (stored) line_[length_++] = static_cast<char>(byte);
  if (recentCount_ == sizeof recent_) std::memmove(recent_, recent_ + 1, sizeof recent_ - 1);
  else ++recentCount_;
  recent_[recentCount_ - 1] = static_cast<char>(byte);

  if (sink_.Downloading()) {
    LookForRequests(byte, stored);
    if (length_ == 0) return;
  }
  if (!LineComplete(byte)) return;
  const std::string complete(line_, length_);
  ClearLine();
  // Asked again: the line may have been the one that ended a download.
  if (!sink_.Downloading()) sink_.LineArrived(complete);
}

void ReplyParser::LookForRequests(uint8_t byte, bool stored) {
  const std::string_view line(line_, length_);
  const bool dropped = !stored;
  if (line.find(static_cast<char>(common::NOTIFY_HEADER_BYTE)) != std::string_view::npos ||
      (dropped && byte == common::NOTIFY_HEADER_BYTE)) {
    sink_.HeaderRequested();
    ClearLine();
    platform::Trace("\r\n Port Line 281 Receive NotifyHeaderEvent\r\n");
    return;
  }
  if (line.find(static_cast<char>(common::NOTIFY_RECORD_BYTE)) != std::string_view::npos ||
      (dropped && byte == common::NOTIFY_RECORD_BYTE)) {
    sink_.RecordRequested();
    ClearLine();
    platform::Trace("\r\n Port Line 287 Receive NotifyRecordEvent\r\n");
  }
}

bool ReplyParser::LineComplete(uint8_t byte) const {
  if (byte == static_cast<uint8_t>(common::LF)) return true;
  return recentCount_ == sizeof recent_ && std::string_view(recent_, sizeof recent_) == common::FRAME_END;
}

}  // namespace corvash::bootlink
