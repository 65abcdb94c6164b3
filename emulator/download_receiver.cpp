#include "emulator/download_receiver.h"

#include <algorithm>
#include <cstring>

#include "common/download_codec.h"
#include "common/loader_wire.h"

namespace corvash::emulator {
void DownloadReceiver::Begin() {
  Reset();
  stage_ = Stage::Sync;
}

void DownloadReceiver::Reset() {
  stage_ = Stage::Idle;
  syncMatched_ = 0;
  headerFill_ = 0;
  start_ = total_ = 0;
  recordAddress_ = recordLength_ = recordFill_ = 0;
  records_ = stored_ = firstRecordLength_ = 0;
}

DownloadProgress DownloadReceiver::Progress() const {
  DownloadProgress progress;
  progress.active = stage_ == Stage::RecordHeader || stage_ == Stage::RecordData;
  if (!progress.active) return progress;
  progress.startAddress = start_;
  progress.total = total_;
  progress.bytesStored = stored_;
  progress.records = records_;
  if (firstRecordLength_ != 0) {
    progress.expectedRecords =
        static_cast<uint32_t>((uint64_t{total_} + firstRecordLength_ - 1) / firstRecordLength_);
  }
  return progress;
}

void DownloadReceiver::MissSyncHeader() {
  stage_ = Stage::Sync;
  syncMatched_ = 0;
}

size_t DownloadReceiver::TakeHeader(std::span<const uint8_t> bytes, size_t length) {
  const size_t count = std::min(bytes.size(), length - headerFill_);
  std::memcpy(header_ + headerFill_, bytes.data(), count);
  headerFill_ += count;
  return count;
}

void DownloadReceiver::StoreData(std::span<const uint8_t> data, FlashImage& flash) {
  // Only the announced range [start, start + total) is image.
  const uint64_t first = uint64_t{recordAddress_} + recordFill_;
  const uint64_t last = first + data.size();
  const uint64_t from = std::max<uint64_t>(first, start_);
  const uint64_t to = std::min<uint64_t>(last, uint64_t{start_} + total_);
  if (from >= to) return;
  flash.Store(static_cast<uint32_t>(from), data.subspan(static_cast<size_t>(from - first),
                                                         static_cast<size_t>(to - from)));
  stored_ += static_cast<uint32_t>(to - from);
}

size_t DownloadReceiver::Take(std::span<const uint8_t> bytes, FlashImage& flash, Event* event) {
  *event = Event::None;
  switch (stage_) {
    case Stage::Idle:
      return 0;
    case Stage::Sync:
      for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<char>(bytes[i]);
        if (byte == common::CR) {
          Reset();
          *event = Event::Abandoned;
          return i;
        }
        if (byte == common::SYNC_HEADER[syncMatched_]) {
          if (++syncMatched_ == common::SYNC_HEADER.size()) {
            stage_ = Stage::FileHeader;
            headerFill_ = 0;
            *event = Event::SyncHeader;
            return i + 1;
          }
        } else {
          syncMatched_ = byte == common::SYNC_HEADER[0] ? 1 : 0;
        }
      }
      return bytes.size();
    case Stage::FileHeader: {
      const size_t taken = TakeHeader(bytes, common::FILE_HEADER_LENGTH);
      if (headerFill_ == common::FILE_HEADER_LENGTH) {
        const common::FileHeaderFields fields =
            *common::ParseFileHeader(std::span<const uint8_t>(header_, common::FILE_HEADER_LENGTH));
        start_ = fields.startAddress;
        total_ = fields.total;
        headerFill_ = 0;
        stage_ = Stage::RecordHeader;
        *event = Event::FileHeader;
      }
      return taken;
    }
    case Stage::RecordHeader: {
      const size_t taken = TakeHeader(bytes, common::RECORD_HEADER_LENGTH);
      if (headerFill_ < common::RECORD_HEADER_LENGTH) return taken;
      headerFill_ = 0;
      const common::RecordHeaderFields record =
          *common::ParseRecordHeader(std::span<const uint8_t>(header_, common::RECORD_HEADER_LENGTH));
      recordAddress_ = record.address;
      recordLength_ = record.length;
      recordFill_ = 0;
      if (!record.IsEnd() && firstRecordLength_ == 0) firstRecordLength_ = record.length;
      if (record.IsEnd()) {
        stage_ = Stage::Idle;
        *event = Event::EndRecord;
      } else if (recordLength_ == 0) {
        ++records_;
        *event = Event::Record;  // an empty record: nothing to wait for
      } else {
        stage_ = Stage::RecordData;
      }
      return taken;
    }
    case Stage::RecordData: {
      const size_t count = std::min<size_t>(bytes.size(), recordLength_ - recordFill_);
      StoreData(bytes.first(count), flash);
      recordFill_ += static_cast<uint32_t>(count);
      if (recordFill_ == recordLength_) {
        ++records_;
        stage_ = Stage::RecordHeader;
        *event = Event::Record;
      }
      return count;
    }
  }
  return 0;
}

}  // namespace corvash::emulator
