#include "desktop/bootlink/reply_actions.h"

#include "common/fixed_text.h"
#include "common/loader_wire.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/watchdog.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {
namespace {

using common::Contains;

template <size_t N>
void TakeKey(std::string_view line, std::string_view key, char (&field)[N], const char* trace) {
  if (!Contains(line, key)) return;
  common::CopyText(field, GetKeyValue(line, key));
  platform::Trace(trace);
}

}  // namespace

void ActOnReplyLine(LoaderLink& link, std::string_view line) {
  DownloadContext& context = link.Download();
  if (context.DownloadActive.load() != 0) return;
  if (Contains(line, common::KEY_FILE)) {
    common::CopyText(context.fileName, link.DownloadImage());
    platform::Trace("\r\n Port Receive filenameKey\r\n");
  }
  TakeKey(line, common::KEY_ADDRESS, context.addressText, "\r\n Port Receive addressKey\r\n");
  TakeKey(line, common::KEY_LENGTH, context.lengthText, "\r\n Port Receive LengthKey\r\n");
  TakeKey(line, common::KEY_OFFSET, context.offsetText, "\r\n Port Receive offsetKey\r\n");
  if (Contains(line, common::START_DOWNLOAD_KEY)) {
    platform::Trace("\r\n Port Receive startNBKey\r\n");
    link.StartDownloadThread();
  }
  if (Contains(line, common::FRAME_REPLY_KEY)) {
    link.SetFrameReply(line);
    link.Signals().Notify();
  }
  if (Contains(line, common::PORT_TEST_KEY)) {
    link.SetPortTestReply(line);
    link.PortTestEvent().Pulse();
  }
}

bool LinkReplySink::Downloading() const { return link_.Download().DownloadActive.load() != 0; }

void LinkReplySink::BytesArrived() { link_.ArmWatchdog(WATCHDOG_RECEIVE_MS); }

void LinkReplySink::HeaderRequested() { link_.Download().NotifyHeaderEvent.Set(); }

void LinkReplySink::RecordRequested() { link_.Download().NotifyRecordEvent.Set(); }

}  // namespace corvash::bootlink
