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
#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/reply_actions.h"
#include "desktop/bootlink/reply_parser.h"

namespace {

using namespace corvash;
using namespace corvash::bootlink;

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::abort();
}

std::atomic<int> g_downloadsStarted{0};

// The harness's link: its download "runs" until the harness ends it
// (DownloadActive stays 1). One for the life of the fuzzing process.
LoaderLink& Link() {
  static std::atomic<uint32_t> serialLink{1};
  static LoaderLink* const link = new LoaderLink(
      [](LoaderLink&, DownloadContext&) -> uint32_t {
        ++g_downloadsStarted;
        return 0;
      },
      serialLink);
  return *link;
}

// What one feed left behind.
struct Outcome {
  size_t lineLength = 0;
  std::string fileName, address, offset, length, frameReply, portTestReply;
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
  context.JoinThread();
  context.Reset();
  g_downloadsStarted = 0;
  Link().SetFrameReply("");
  Link().SetPortTestReply("");
}

Outcome Finish(const ReplyParser& parser, DownloadContext& context) {
  context.JoinThread();
  Require(parser.LineLength() <= ReplyParser::kLineCapacity, "the line stays inside its buffer");
  RequireTerminated(context.fileName, "file name terminated");
  RequireTerminated(context.addressText, "address text terminated");
  RequireTerminated(context.offsetText, "offset text terminated");
  RequireTerminated(context.lengthText, "length text terminated");
  Require(g_downloadsStarted <= 1, "one start line starts one download");
  Outcome out;
  out.lineLength = parser.LineLength();
  out.fileName = common::TextOf(context.fileName);
  out.address = common::TextOf(context.addressText);
  out.offset = common::TextOf(context.offsetText);
  out.length = common::TextOf(context.lengthText);
  out.frameReply = Link().FrameReply();
  out.portTestReply = Link().PortTestReply();
  out.headerRequested = context.NotifyHeaderEvent.IsSignalled();
  out.recordRequested = context.NotifyRecordEvent.IsSignalled();
  out.downloadsStarted = g_downloadsStarted;
  out.downloadActive = context.DownloadActive.load();
  return out;
}

Outcome FeedWhole(const uint8_t* data, size_t size) {
  DownloadContext& context = Link().Download();
  StartClean(context);
  LinkReplySink sink(Link());
  ReplyParser parser(sink);
  parser.TakeBytes(data, size);
  return Finish(parser, context);
}

Outcome FeedByteByByte(const uint8_t* data, size_t size) {
  DownloadContext& context = Link().Download();
  StartClean(context);
  LinkReplySink sink(Link());
  ReplyParser parser(sink);
  for (size_t i = 0; i < size; ++i) parser.TakeBytes(data + i, 1);
  return Finish(parser, context);
}

// The download ends (DownloadActive back to 0) once the loader has asked for
// two records; lines after it are read for their keys again.
void FeedWithEndingDownload(const uint8_t* data, size_t size) {
  DownloadContext& context = Link().Download();
  StartClean(context);
  LinkReplySink sink(Link());
  ReplyParser parser(sink);
  int records = 0;
  for (size_t i = 0; i < size; ++i) {
    parser.TakeBytes(data + i, 1);
    if (context.DownloadActive.load() == 0) continue;
    context.NotifyHeaderEvent.Reset();
    if (context.NotifyRecordEvent.IsSignalled()) {
      context.NotifyRecordEvent.Reset();
      if (++records == 2) {
        context.JoinThread();
        context.DownloadActive.store(0);
        records = 0;
      }
    }
  }
  context.JoinThread();
  Require(parser.LineLength() <= ReplyParser::kLineCapacity, "the line stays inside its buffer");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::unsetenv("CORVASH_TRACE");
  // A longest path, so that ":F=" copies a full field.
  Link().SetDownloadImage(std::string(300, 'p'));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Outcome whole = FeedWhole(data, size);
  const Outcome bytes = FeedByteByByte(data, size);
  Require(whole == bytes, "the same bytes have the same effects however the reads cut them");
  FeedWithEndingDownload(data, size);
  return 0;
}
