#pragma once
// The emulated boot loader: bytes in, bytes out, no I/O of its own. Its
// owner feeds it what arrives on the line and hands it the link to answer on
// (a pty, or memory in tests).
//
// At its prompt it echoes every byte (a CR as CR LF) and runs a line on its
// CR: "$QEL$" opens the command session, "lnb ..." starts a load, "shmsg ..."
// draws on the screen; other lines get only their echo. In the command
// session nothing is echoed: "KVOS<command>\rKVOE" frames run "readdata" and
// "$QEL$" (which ends the session); a CR outside a frame, as the desktop's CR
// burst, also ends it. After a load's answer it takes a download (see
// DownloadReceiver), pacing it with 0x01 after the sync header and 0x02
// before every record and once after the last, and returns to its prompt
// with the end record. Faults (fault_plan.h) bend this on demand.
//
// Not thread-safe: the owner serialises every call.
#include <cstdint>
#include <span>
#include <string>

#include "emulator/download_receiver.h"
#include "emulator/fault_plan.h"
#include "emulator/flash_image.h"
#include "emulator/peer_link.h"
#include "emulator/text_screen.h"

namespace corvash::emulator {

struct LoaderStats {
  uint32_t recordsReceived = 0;     // data records, every download
  uint32_t downloadsCompleted = 0;  // end records taken
};

class BootLoaderPeer {
 public:
  // The longest prompt line kept; further characters are echoed but dropped.
  static constexpr size_t kMaxLineLength = 255;

  BootLoaderPeer(FlashImage& flash, TextScreen& screen) : flash_(flash), screen_(screen) {}

  // Takes what arrived and answers on `link`. After the loader pulled the
  // cable (link.Drop()) the rest of `bytes` is not looked at.
  void Receive(std::span<const uint8_t> bytes, PeerLink& link);
  // Starts afresh at the prompt: no session, no download, no silence. Faults
  // armed and not yet fired stay armed.
  void Restart();
  // Arms a fault (BusyPort is the port's business and ignored here); Clear
  // disarms every fault and ends a silence.
  void Arm(const Fault& fault);

  bool Silent() const { return silent_; }
  const LoaderStats& Stats() const { return stats_; }
  DownloadProgress Progress() const { return download_.Progress(); }

 private:
  enum class Mode { Prompt, Session, Download };

  size_t TakePrompt(std::span<const uint8_t> bytes);
  size_t TakeSession(std::span<const uint8_t> bytes);
  size_t TakeDownload(std::span<const uint8_t> bytes);
  void RunLine(const std::string& line);
  void RunFramed(std::string command);
  void OnDownloadEvent(DownloadReceiver::Event event);
  // Whether a record fault fires now; if so it is spent and acted on.
  bool RecordFaultFires();

  FlashImage& flash_;
  TextScreen& screen_;
  Mode mode_ = Mode::Prompt;
  std::string line_;        // the prompt line being typed
  std::string outside_;     // session text outside a frame
  std::string frame_;       // session text inside a frame
  bool inFrame_ = false;
  bool frameOverflow_ = false;
  DownloadReceiver download_;
  std::string out_;         // answer of the current Receive
  bool silent_ = false;
  bool dropNow_ = false;
  Fault armed_;
  uint32_t recordsSinceArmed_ = 0;
  LoaderStats stats_;
};

}  // namespace corvash::emulator
