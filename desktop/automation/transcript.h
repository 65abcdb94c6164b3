#pragma once
// The transcript: one line per thing the user would have seen, so that a run
// under the autopilot can be checked afterwards.
//
//   open P          page or screen P opened
//   text ID "..."   control ID got a text while its page was open
//   enable ID 0|1   control ID changed its enabled state
//   end P R         page P ended with result R
//
// Texts are escaped as C strings (\\ \" \n \r \t, other control bytes as
// three-digit octal); bytes from 0x80 up (UTF-8) are written as they are.
// Every line is written and flushed at once, so a run that is cut short
// leaves a readable transcript. Thread-safe.
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

#include "desktop/automation/page_observer.h"

namespace corvash::automation {

std::string EscapeCString(std::string_view text);

class Transcript final : public PageObserver {
 public:
  Transcript() = default;
  ~Transcript();
  Transcript(const Transcript&) = delete;
  Transcript& operator=(const Transcript&) = delete;

  // Starts a new transcript in `path` (an existing file is replaced). False
  // with the reason in `error` when the file cannot be created.
  bool Open(const std::string& path, std::string* error);
  bool IsOpen() const;
  void Close();

  void PageOpened(const std::shared_ptr<ScriptablePage>& page) override;
  void TextSet(int templateId, int controlId, std::string_view text) override;
  void EnabledChanged(int templateId, int controlId, bool enabled) override;
  void PageEnded(const ScriptablePage& page, int result) override;

 private:
  void WriteLine(const std::string& line);

  mutable std::mutex mutex_;
  std::FILE* file_ = nullptr;
};

// The line texts without their newline (shared by the writer and tests).
std::string OpenLine(int templateId);
std::string TextLine(int controlId, std::string_view text);
std::string EnableLine(int controlId, bool enabled);
std::string EndLine(int templateId, int result);

}  // namespace corvash::automation
