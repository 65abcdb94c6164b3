#include "desktop/bootlink/reply_parser.h"

#include <cstring>
#include <string>

#include "desktop/session/update_session.h"
#include "common/loader_wire.h"
#include "desktop/bootlink/link_waits.h"
#include "desktop/bootlink/receive_thread.h"
#include "desktop/bootlink/watchdog.h"
#include "common/event.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {

using platform::Contains;
using platform::CopyText;
using platform::Trace;

namespace {

bool IsValueEnd(char c) { return c == wire::CR || c == wire::BS; }

template <size_t N>
void TakeKey(std::string_view line, std::string_view key, char (&field)[N], const char* trace) {
  if (!Contains(line, key)) return;
  CopyText(field, GetKeyValue(line, key));
  Trace(trace);
}

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

void ActOnReplyLine(std::string_view line, DownloadContext& context) {
  if (context.DownloadActive.load() != 0) return;
  auto& session = session::Session();
  if (Contains(line, wire::KEY_FILE)) {
    CopyText(context.fileName, platform::TextOf(session.image.imagePath));
    Trace("\r\n Port Receive filenameKey\r\n");
  }
  TakeKey(line, wire::KEY_ADDRESS, context.addressText, "\r\n Port Receive addressKey\r\n");
  TakeKey(line, wire::KEY_LENGTH, context.lengthText, "\r\n Port Receive LengthKey\r\n");
  TakeKey(line, wire::KEY_OFFSET, context.offsetText, "\r\n Port Receive offsetKey\r\n");
  if (Contains(line, wire::START_DOWNLOAD_KEY)) {
    Trace("\r\n Port Receive startNBKey\r\n");
    StartDownloadThread(context);
  }
  if (Contains(line, wire::FRAME_REPLY_KEY)) {
    session.SetFrameReply(line);
    NotifyLinkChange();
  }
  if (Contains(line, wire::PORT_TEST_KEY)) {
    session.SetPortTestReply(line);
    platform::CreateNamedEvent(PORT_TEST_EVENT, false, false)->Pulse();
  }
}

ReplyParser::ReplyParser(DownloadContext& context) : context_(context) {
  platform::ClearText(session::Session().rxLine);
}

void ReplyParser::ClearLine() {
  std::memset(session::Session().rxLine, 0, length_ + 1);
  length_ = 0;
  recentCount_ = 0;
}

void ReplyParser::TakeBytes(const uint8_t* bytes, size_t count) {
  bool armed = false;
  for (size_t i = 0; i < count; ++i) {
    if (bytes[i] != 0 && !armed) {
      ArmWatchdog(WATCHDOG_RECEIVE_MS);
      armed = true;
    }
    TakeByte(bytes[i]);
  }
}

void ReplyParser::TakeByte(uint8_t byte) {
  if (byte == 0) return;  // a zero byte vanishes from the line
  char* line = session::Session().rxLine;
  constexpr size_t kCapacity = sizeof(session::Session().rxLine) - 1;
  const bool stored = length_ < kCapacity;
  if (stored) line[length_++] = static_cast<char>(byte);
  if (recentCount_ == sizeof recent_) std::memmove(recent_, recent_ + 1, sizeof recent_ - 1);
  else ++recentCount_;
  recent_[recentCount_ - 1] = static_cast<char>(byte);

  if (context_.DownloadActive.load() != 0) {
    LookForRequests(byte, stored);
    if (length_ == 0) return;
  }
  if (!LineComplete(byte)) return;
  const std::string complete(line, length_);
  ClearLine();
  // The flag is read again: the line may have been the one that ended a download.
  if (context_.DownloadActive.load() == 0) ActOnReplyLine(complete, context_);
}

void ReplyParser::LookForRequests(uint8_t byte, bool stored) {
  const std::string_view line(session::Session().rxLine, length_);
  const bool dropped = !stored;
  if (line.find(static_cast<char>(wire::NOTIFY_HEADER_BYTE)) != std::string_view::npos ||
      (dropped && byte == wire::NOTIFY_HEADER_BYTE)) {
    context_.NotifyHeaderEvent.Set();
    ClearLine();
    Trace("\r\n Port Line 281 Receive NotifyHeaderEvent\r\n");
    return;
  }
  if (line.find(static_cast<char>(wire::NOTIFY_RECORD_BYTE)) != std::string_view::npos ||
      (dropped && byte == wire::NOTIFY_RECORD_BYTE)) {
    context_.NotifyRecordEvent.Set();
    ClearLine();
    Trace("\r\n Port Line 287 Receive NotifyRecordEvent\r\n");
  }
}

bool ReplyParser::LineComplete(uint8_t byte) const {
  if (byte == static_cast<uint8_t>(wire::LF)) return true;
  return recentCount_ == sizeof recent_ &&
         std::string_view(recent_, sizeof recent_) == wire::FRAME_END;
}

}  // namespace corvash::bootlink
