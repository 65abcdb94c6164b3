#include "desktop/bootlink/image_download.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/image_file.h"
#include "common/clock.h"
#include "desktop/bootlink/flash_progress.h"
#include "desktop/bootlink/flash_watch.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/watchdog.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {
namespace {

// What the tail of a short last block carries past the image's bytes: the
// value of erased flash, rather than leftovers of the previous block.
constexpr uint8_t kBlockFiller = 0xFF;

// What the record loop does after one request was answered.
enum class Step { kNextRequest, kEnd, kReadFailed };

class Download {
 public:
  Download(LoaderLink& link, DownloadContext& context) : link_(link), context_(context) {}

  uint32_t Run() {
    const uint32_t address = ParseLoaderHex(common::TextOf(context_.addressText));
    const uint32_t offset = ParseLoaderHex(common::TextOf(context_.offsetText));
    const uint32_t length = ParseLoaderHex(common::TextOf(context_.lengthText));
    if (!file_.Open(std::string(common::TextOf(context_.fileName)))) return ReportOpenFailure();
    uint64_t fileSize = 0;  // stays 0 when the size cannot be read
    file_.Size(fileSize);
    const uint64_t payload = fileSize > common::IMAGE_HEADER_LENGTH ? fileSize - common::IMAGE_HEADER_LENGTH : 0;
    const uint64_t imageSize = LoadImageSize(length, payload);

    if (link_.SendString(common::SYNC_HEADER) != 1) return EarlyFailure("\nSync Header Send Error\n");
    const LinkWait header = link_.WaitEvent(context_.NotifyHeaderEvent, SYNC_HEADER_WAIT_MS);
    if (header == LinkWait::kTimedOut) return EarlyFailure("\nSync Header time out\n");
    if (header == LinkWait::kLinkClosed) return EarlyFailure("\nSync Header: link closed\n");

    const auto plan = PlanDownload(address, offset, imageSize);
    if (!plan) {
      platform::Trace("\r\n FileSize <= ImgBypassOffset!\r\n");
      return EarlyFailure("\nImgSize <= ImgBypassOffset\n");
    }
    plan_ = *plan;
    if (!file_.Seek(plan_.FileOffset())) return EarlyFailure("\nImage file seek error\n");
    const FileHeader fileHeader = MakeFileHeader(plan_.startAddress, plan_.total);
    if (link_.SendString(fileHeader.data(), fileHeader.size()) != 1) {
      platform::Trace("\r\n File Header Send Error\r\n");
    }
    block_.reset(new (std::nothrow) uint8_t[common::BLOCK_LENGTH]);
    if (!block_) {
      platform::Trace("\r\n can't allocation memory\r\n");
      return Abandon();
    }
    std::memset(block_.get(), kBlockFiller, common::BLOCK_LENGTH);
    StartProgress();
    nextAddress_ = plan_.startAddress;
    remaining_ = plan_.total;
    if (static_cast<int32_t>(plan_.total) >= 0 && RecordLoop() == Step::kReadFailed) return Abandon();
    return Finish();
  }

 private:
  // Image not opened: the run cannot go on.
  uint32_t ReportOpenFailure() {
    context_.DownloadActive.store(0);
    link_.DeclareClosed();  // first, so the reader ends rather than mourn its port
    link_.ClosePort();
    if (FlashWatch* watch = link_.Watcher()) watch->ReportFault(FlashFault::kImageNotOpened);
    link_.ArmWatchdog(WATCHDOG_LINK_FAILED_MS);  // the watch ends behind the report
    return 0;
  }

  uint32_t EarlyFailure(std::string_view status) {
    common::CopyText(context_.statusText, status);
    platform::Trace(status);
    return Abandon();
  }

  // Leaves without touching flashState; the page ends through its watchdog.
  uint32_t Abandon() {
    block_.reset();
    file_.Close();
    context_.DownloadActive.store(0);
    return 0;
  }

  void StartProgress() {
    if (link_.flashState.load() == 1) {
      SetFlashProgress(link_, 0);
      return;
    }
    // The second load shows no progress of its own.
    if (FlashWatch* watch = link_.Watcher()) {
      watch->SetBarPosition(100);
      watch->SetFigure(100);
    }
  }

  Step RecordLoop() {
    for (;;) {
      const LinkWait request = link_.WaitEvent(context_.NotifyRecordEvent, RECORD_REQUEST_WAIT_MS);
      if (request == LinkWait::kTimedOut) {
        platform::Trace("\r\n Record request time out\r\n");
        context_.DownloadActive.store(0);
        return Step::kEnd;
      }
      if (request == LinkWait::kLinkClosed) {
        platform::Trace("\r\n Link closed while waiting for a record request\r\n");
        return Step::kEnd;
      }
      if (context_.DownloadActive.load() == 0) {
        platform::Trace("\n line 501 : DownloadActive=False\n");
        return Step::kEnd;
      }
      if (remaining_ == 0) {
        SendEndRecord();
        return Step::kEnd;
      }
      const Step step = remaining_ >= common::BLOCK_LENGTH ? SendFullBlock() : SendShortBlock();
      if (step != Step::kNextRequest) return step;
    }
  }

  Step SendFullBlock() {
    if (file_.Read(block_.get(), common::BLOCK_LENGTH) != static_cast<long>(common::BLOCK_LENGTH)) {
      platform::Trace("\n  Line 542: Read file fial!\n");
      return Step::kReadFailed;
    }
    const RecordHeader header = MakeRecordHeader(nextAddress_);
    nextAddress_ += common::BLOCK_LENGTH;
    remaining_ -= common::BLOCK_LENGTH;
    if (link_.SendString(header.data(), header.size()) != 1) return Step::kEnd;
    if (SendPieces() < kPiecesPerBlock) {
      platform::Trace("\n line 522 : Send string Error!\n");
      link_.ArmWatchdog(WATCHDOG_LINK_FAILED_MS);
      platform::Trace("\nLine 537: i < BLOCK_LENGTH/TXQUEUE\n");
      return Step::kEnd;
    }
    if (link_.flashState.load() == 1) {
      const uint32_t percent = DownloadPercent(remaining_, plan_.total);
      if (percent != 100) SetFlashProgress(link_, percent);
    }
    return Step::kNextRequest;
  }

  Step SendShortBlock() {
    const long got = file_.Read(block_.get(), remaining_);
    if (got <= 0) {
      platform::Trace(got < 0 ? "\nLine 612: Read file fial!\n" : "\n Line 601: Read file fial!\n");
      return Step::kReadFailed;
    }
    std::memset(block_.get() + got, kBlockFiller, common::BLOCK_LENGTH - static_cast<size_t>(got));
    // The header names a whole block; the loader always takes BLOCK_LENGTH bytes.
    const RecordHeader header = MakeRecordHeader(nextAddress_);
    nextAddress_ += remaining_;
    if (link_.SendString(header.data(), header.size()) != 1) {
      platform::Trace("\nLine 575: Send String fial!\n");
      return Step::kEnd;
    }
    if (SendPieces() < kPiecesPerBlock) {
      platform::Trace("\nLine 581: Send String fial!\n");
      return Step::kEnd;
    }
    remaining_ = 0;
    return Step::kNextRequest;
  }

  // The block as pieces of TXQUEUE bytes; returns how many went out.
  uint32_t SendPieces() {
    uint32_t sent = 0;
    while (sent < kPiecesPerBlock && link_.SendString(block_.get() + sent * common::TXQUEUE, common::TXQUEUE) == 1) ++sent;
    return sent;
  }

  void SendEndRecord() {
    const RecordHeader end = MakeEndRecord();
    if (link_.SendString(end.data(), end.size()) != 1) {
      platform::Trace("\r\n End record send error\r\n");
      return;
    }
    link_.KillWatchdog();
    // A link lost just now has armed the watchdog already; keep it armed.
    if (link_.linkClosed.load() == 1) link_.ArmWatchdog(WATCHDOG_LINK_FAILED_MS);
    if (!link_.SendCompleteEvent().Wait(END_RECORD_SENT_WAIT_MS)) {
      platform::Trace("\r\n Wait SendStringCompleteEvent time out\r\n");
    }
    platform::Trace("\nLine 559: Flash Complete!\n");
    completed_ = true;
    common::SleepMs(DOWNLOAD_END_PAUSE_MS);
  }

  uint32_t Finish() {
    // A download that stopped short, or whose link died before its end, is a
    // failed flash: end the page now and leave flashState as it was.
    if (link_.linkClosed.load() == 1) completed_ = false;
    if (!completed_) link_.ArmWatchdog(WATCHDOG_LINK_FAILED_MS);
    common::SleepMs(DOWNLOAD_END_PAUSE_MS);
    block_.reset();
    file_.Close();
    context_.DownloadActive.store(0);
    if (link_.linkClosed.load() == 1 && completed_) {
      completed_ = false;
      link_.ArmWatchdog(WATCHDOG_LINK_FAILED_MS);
    }
    if (!completed_) return 1;
    if (link_.MoveFlashState(1, 2)) return 1;
    if (link_.flashState.load() == 3) SetFlashProgress(link_, 100);
    return 1;
  }

  LoaderLink& link_;
  DownloadContext& context_;
  common::ImageFile file_;
  DownloadPlan plan_;
  std::unique_ptr<uint8_t[]> block_;
  uint32_t nextAddress_ = 0;
  uint32_t remaining_ = 0;
  bool completed_ = false;
};

}  // namespace

uint32_t ImageDownloadThread(LoaderLink& link, DownloadContext& context) { return Download(link, context).Run(); }

}  // namespace corvash::bootlink
