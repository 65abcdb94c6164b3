#pragma once
// The receiving side of an image download, byte by byte: the sync header
// "B000FF\n", the 8-byte file header (start address, byte count), then
// 12-byte record headers (address, length, 0), each followed by its data, up
// to the end record of 12 zero bytes. Data go into flash as they arrive, but
// only those inside the range the file header announced: the short last
// record carries a full block of which only the head is image. The receiver
// says when a message is complete; answering is the loader's business.
// Not thread-safe.
#include <cstdint>
#include <span>

#include "emulator/flash_image.h"

namespace corvash::emulator {

// How far the current download has come, for whoever shows it.
struct DownloadProgress {
  bool active = false;          // a file header came and the end record has not
  uint32_t startAddress = 0;    // from the file header
  uint32_t total = 0;           // bytes the file header announced
  uint32_t bytesStored = 0;     // of them, in flash so far
  uint32_t records = 0;         // data records taken
  uint32_t expectedRecords = 0; // total over the first record's length, rounded up; 0 before it
};

class DownloadReceiver {
 public:
  enum class Event {
    None,        // the bytes given did not complete a message
    SyncHeader,  // the sync header is in (answer 0x01)
    FileHeader,  // the file header is in (ask for the first record)
    Record,      // a record's data are in (ask for the next)
    EndRecord,   // the end record: the download is over
    Abandoned,   // a CR came while a sync header was awaited: back to the prompt
  };

  // Starts waiting for a sync header.
  void Begin();
  void Reset();
  bool Active() const { return stage_ != Stage::Idle; }
  // Forgets a sync header that was just taken, as if it never came.
  void MissSyncHeader();

  // Takes bytes from the head of `bytes` up to the end of the next message;
  // returns how many it took and sets `event`. An Abandoned event takes
  // nothing: the CR belongs to the prompt.
  size_t Take(std::span<const uint8_t> bytes, FlashImage& flash, Event* event);

  uint32_t StartAddress() const { return start_; }
  uint32_t Total() const { return total_; }
  DownloadProgress Progress() const;

 private:
  enum class Stage { Idle, Sync, FileHeader, RecordHeader, RecordData };
  size_t TakeHeader(std::span<const uint8_t> bytes, size_t length);
  void StoreData(std::span<const uint8_t> data, FlashImage& flash);

  Stage stage_ = Stage::Idle;
  size_t syncMatched_ = 0;
  uint8_t header_[12] = {};
  size_t headerFill_ = 0;
  uint32_t start_ = 0;
  uint32_t total_ = 0;
  uint32_t recordAddress_ = 0;
  uint32_t recordLength_ = 0;
  uint32_t recordFill_ = 0;
  uint32_t records_ = 0;
  uint32_t stored_ = 0;
  uint32_t firstRecordLength_ = 0;
};

}  // namespace corvash::emulator
