#include "emulator/loader_peer.h"

#include <utility>

#include "common/loader_wire.h"
#include "emulator/loader_commands.h"

namespace corvash::emulator {
namespace {

constexpr size_t kMaxFrameLength = 300;
constexpr std::string_view kSessionWord = "$QEL$";

bool EndsWith(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

void BootLoaderPeer::Receive(std::span<const uint8_t> bytes, PeerLink& link) {
  out_.clear();
  while (!bytes.empty() && !silent_ && !dropNow_) {
    size_t taken = 0;
    switch (mode_) {
      case Mode::Prompt: taken = TakePrompt(bytes); break;
      case Mode::Session: taken = TakeSession(bytes); break;
      case Mode::Download: taken = TakeDownload(bytes); break;
    }
    bytes = bytes.subspan(taken);
  }
  if (!out_.empty()) link.Send(std::span(reinterpret_cast<const uint8_t*>(out_.data()), out_.size()));
  out_.clear();
  if (dropNow_) {
    dropNow_ = false;
    Restart();
    link.Drop();
  }
}

void BootLoaderPeer::Restart() {
  mode_ = Mode::Prompt;
  line_.clear();
  outside_.clear();
  frame_.clear();
  inFrame_ = frameOverflow_ = false;
  download_.Reset();
  silent_ = false;
}

void BootLoaderPeer::Arm(const Fault& fault) {
  switch (fault.kind) {
    case FaultKind::None:
    case FaultKind::BusyPort:
    case FaultKind::RefuseFile:  // the file store's, not the loader's
    case FaultKind::RefuseTime:  // the clock's
      return;
    case FaultKind::Clear:
      armed_ = Fault{};
      silent_ = false;
      return;
    case FaultKind::Silent:
      silent_ = true;
      return;
    default:
      armed_ = fault;
      recordsSinceArmed_ = 0;
      return;
  }
}

size_t BootLoaderPeer::TakePrompt(std::span<const uint8_t> bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<char>(bytes[i]);
    if (byte == common::CR) {
      out_.append("\r\n");
      RunLine(std::exchange(line_, std::string()));
      if (mode_ != Mode::Prompt) return i + 1;
      continue;
    }
    out_.push_back(byte);
    if (byte == common::BS || byte == '\x7f') {
      if (!line_.empty()) line_.pop_back();
    } else if (byte != common::LF && line_.size() < kMaxLineLength) {
      line_.push_back(byte);
    }
  }
  return bytes.size();
}

void BootLoaderPeer::RunLine(const std::string& line) {
  if (line == kSessionWord) {
    mode_ = Mode::Session;
    outside_.clear();
    inFrame_ = false;
    return;
  }
  if (IsCommand(line, common::LNB_COMMAND)) {
    const auto load = ParseLoadCommand(line);
    if (!load) {
      out_.append("lnb: expected FILE ADDRESS LENGTH OFFSET\r\n");
      return;
    }
    out_.append(LoadReply(*load));
    download_.Begin();
    mode_ = Mode::Download;
    return;
  }
  if (IsCommand(line, common::SHMSG_COMMAND)) {
    const auto text = ParseScreenText(line);
    if (!text) {
      out_.append("shmsg: expected ROW COLUMN \"TEXT\"\r\n");
      return;
    }
    screen_.Draw(text->row, text->column, text->text);
  }
}

size_t BootLoaderPeer::TakeSession(std::span<const uint8_t> bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<char>(bytes[i]);
    if (inFrame_) {
      if (frame_.size() < kMaxFrameLength) {
        frame_.push_back(byte);
      } else {
        // Keep only the tail, enough to see the frame's end; the command is lost.
        frameOverflow_ = true;
        frame_.erase(0, 1);
        frame_.push_back(byte);
      }
      if (EndsWith(frame_, common::FRAME_END)) {
        inFrame_ = false;
        frame_.resize(frame_.size() - common::FRAME_END.size());
        if (!std::exchange(frameOverflow_, false)) RunFramed(std::exchange(frame_, std::string()));
        frame_.clear();
        if (mode_ != Mode::Session) return i + 1;
      }
      continue;
    }
    if (byte == common::CR) {
      const std::string text = std::exchange(outside_, std::string());
      if (text.empty()) {
        // A bare CR (the desktop's CR burst) leaves the session.
        mode_ = Mode::Prompt;
        return i + 1;
      }
      continue;  // "$QEL$" again, or stray text: the session goes on
    }
    outside_.push_back(byte);
    if (outside_.size() > 16) outside_.erase(0, outside_.size() - 16);
    if (EndsWith(outside_, common::FRAME_START)) {
      outside_.clear();
      inFrame_ = true;
      frame_.clear();
    }
  }
  return bytes.size();
}

void BootLoaderPeer::RunFramed(std::string command) {
  if (!command.empty() && command.back() == common::CR) command.pop_back();
  if (command == kSessionWord) {
    mode_ = Mode::Prompt;
    return;
  }
  if (IsCommand(command, common::READDATA_COMMAND)) {
    const auto request = ParseReadRequest(command);
    out_.append(request ? ReadReply(flash_, *request) : std::string(kReadDataRefusal));
  }
}

size_t BootLoaderPeer::TakeDownload(std::span<const uint8_t> bytes) {
  DownloadReceiver::Event event = DownloadReceiver::Event::None;
  const size_t taken = download_.Take(bytes, flash_, &event);
  OnDownloadEvent(event);
  return taken;
}

bool BootLoaderPeer::RecordFaultFires() {
  const FaultKind kind = armed_.kind;
  if (kind != FaultKind::SilentAfterRecords && kind != FaultKind::DropAfterRecords) return false;
  if (recordsSinceArmed_ < armed_.count) return false;
  armed_ = Fault{};
  if (kind == FaultKind::SilentAfterRecords) {
    silent_ = true;
  } else {
    dropNow_ = true;
  }
  return true;
}

void BootLoaderPeer::OnDownloadEvent(DownloadReceiver::Event event) {
  using Event = DownloadReceiver::Event;
  switch (event) {
    case Event::None:
      return;
    case Event::Abandoned:
      mode_ = Mode::Prompt;
      return;
    case Event::Record:
      ++stats_.recordsReceived;
      ++recordsSinceArmed_;
      break;
    case Event::EndRecord:
      ++stats_.downloadsCompleted;
      ++recordsSinceArmed_;
      mode_ = Mode::Prompt;
      break;
    default:
      break;
  }
  if (RecordFaultFires()) return;
  if (event == Event::SyncHeader) {
    if (armed_.kind == FaultKind::NoHeaderAck) {
      armed_ = Fault{};
      download_.MissSyncHeader();
      return;
    }
    out_.push_back(static_cast<char>(common::NOTIFY_HEADER_BYTE));
    return;
  }
  if (event == Event::FileHeader || event == Event::Record) {
    if (armed_.kind == FaultKind::NoRecordRequest && recordsSinceArmed_ >= armed_.count) {
      armed_ = Fault{};
      return;
    }
    out_.push_back(static_cast<char>(common::NOTIFY_RECORD_BYTE));
  }
}

}  // namespace corvash::emulator
