// The boot loader's bytes as the receive thread hands them to the reply
// parser. Input: what the loader sends, in arrival order.
//
// Each input is fed three times: in one read, one byte per read (the effects
// must not depend on how the reads cut the bytes), and one byte per read with
// the download ending after the loader's second record request, as a real
// download thread would clear DownloadActive while bytes keep arriving.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/fixed_text.h"
#include "desktop/bootlink/download_context.h"
#include "desktop/bootlink/receive_thread.h"
#include "desktop/bootlink/reply_parser.h"
#include "desktop/session/update_session.h"

namespace {

using namespace corvash;
using namespace corvash::bootlink;

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::abort();
}

std::atomic<int> g_downloadsStarted{0};

// What one feed left behind.
struct Outcome {
  std::string line, fileName, address, offset, length, frameReply, portTestReply;
  bool headerRequested = false, recordRequested = false;
  int downloadsStarted = 0;
  uint32_t downloadActive = 0;

  bool operator==(const Outcome&) const = default;
};

template <size_t N>
void RequireTerminated(const char (&field)[N], const char* what) {
  Require(field[N - 1] == '\0', what);
}

void StartClean(DownloadContext& context) {
  JoinDownloadThread(context);
  context.Reset();
  g_downloadsStarted = 0;
  session::Session().SetFrameReply("");
  session::Session().SetPortTestReply("");
}

Outcome Finish(const ReplyParser& parser, DownloadContext& context) {
  JoinDownloadThread(context);
  const session::UpdateSession& s = session::Session();
  Require(parser.LineLength() < sizeof s.rxLine, "the line stays inside rxLine");
  Require(strnlen(s.rxLine, sizeof s.rxLine) == parser.LineLength(), "rxLine holds exactly the line");
  RequireTerminated(context.fileName, "file name terminated");
  RequireTerminated(context.addressText, "address text terminated");
  RequireTerminated(context.offsetText, "offset text terminated");
  RequireTerminated(context.lengthText, "length text terminated");
  Require(g_downloadsStarted <= 1, "one start line starts one download");
  Outcome out;
  out.line.assign(s.rxLine, parser.LineLength());
  out.fileName = platform::TextOf(context.fileName);
  out.address = platform::TextOf(context.addressText);
  out.offset = platform::TextOf(context.offsetText);
  out.length = platform::TextOf(context.lengthText);
  out.frameReply = s.FrameReply();
  out.portTestReply = s.PortTestReply();
  out.headerRequested = context.NotifyHeaderEvent.IsSignalled();
  out.recordRequested = context.NotifyRecordEvent.IsSignalled();
  out.downloadsStarted = g_downloadsStarted;
  out.downloadActive = context.DownloadActive.load();
  return out;
}

Outcome FeedWhole(const uint8_t* data, size_t size) {
  DownloadContext& context = TheDownloadContext();
  StartClean(context);
  ReplyParser parser(context);
  parser.TakeBytes(data, size);
  return Finish(parser, context);
}

Outcome FeedByteByByte(const uint8_t* data, size_t size) {
  DownloadContext& context = TheDownloadContext();
  StartClean(context);
  ReplyParser parser(context);
  for (size_t i = 0; i < size; ++i) parser.TakeBytes(data + i, 1);
  return Finish(parser, context);
}

// The download ends (DownloadActive back to 0) once the loader has asked for
// two records; lines after it are read for their keys again.
void FeedWithEndingDownload(const uint8_t* data, size_t size) {
  DownloadContext& context = TheDownloadContext();
  StartClean(context);
  ReplyParser parser(context);
  int records = 0;
  for (size_t i = 0; i < size; ++i) {
    parser.TakeBytes(data + i, 1);
    if (context.DownloadActive.load() == 0) continue;
    context.NotifyHeaderEvent.Reset();
    if (context.NotifyRecordEvent.IsSignalled()) {
      context.NotifyRecordEvent.Reset();
      if (++records == 2) {
        JoinDownloadThread(context);
        context.DownloadActive.store(0);
        records = 0;
      }
    }
  }
  JoinDownloadThread(context);
  Require(strnlen(session::Session().rxLine, sizeof session::Session().rxLine) == parser.LineLength(),
          "rxLine holds exactly the line");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::unsetenv("CORVASH_TRACE");
  // A longest path, so that ":F=" copies a full field.
  platform::CopyText(session::Session().image.imagePath, std::string(300, 'p'));
  // The download "runs" until the harness ends it: DownloadActive stays 1.
  SetDownloadThreadProc([](DownloadContext&) -> uint32_t {
    ++g_downloadsStarted;
    return 0;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Outcome whole = FeedWhole(data, size);
  const Outcome bytes = FeedByteByByte(data, size);
  Require(whole == bytes, "the same bytes have the same effects however the reads cut them");
  FeedWithEndingDownload(data, size);
  return 0;
}
