#pragma once
// What a loader link does with the replies its parser hands on: the key
// values of a download, the start line, framed replies and the port-test
// echo, and the download requests.
#include <string_view>

#include "desktop/bootlink/reply_parser.h"

namespace corvash::bootlink {

class LoaderLink;

// Acts on every reply key of a complete line, in order: ":F=" (the file
// name := the link's download image), ":A=", ":L=", ":O=" (context texts),
// "start NB image download" (starts the download thread), "KVOE" (the frame
// reply := line), "Port Test" (the port-test reply := line, its event
// pulsed). Only while no download runs; during one the line is dropped.
void ActOnReplyLine(LoaderLink& link, std::string_view line);

// The parser's sink on a link: requests signal the download's notify
// events, arriving bytes re-arm the watchdog at 150000 ms, lines go to
// ActOnReplyLine.
class LinkReplySink final : public ReplySink {
 public:
  explicit LinkReplySink(LoaderLink& link) : link_(link) {}
  bool Downloading() const override;
  void BytesArrived() override;
  void HeaderRequested() override;
  void RecordRequested() override;
  void LineArrived(std::string_view line) override { ActOnReplyLine(link_, line); }

 private:
  LoaderLink& link_;
};

}  // namespace corvash::bootlink
