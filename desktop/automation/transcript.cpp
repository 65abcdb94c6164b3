#include "desktop/automation/transcript.h"

#include <cerrno>
#include <cstring>

#include "desktop/automation/scriptable_page.h"

namespace corvash::automation {

std::string EscapeCString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          // Octal takes exactly three digits, so a following digit cannot join it.
          char code[5];
          std::snprintf(code, sizeof code, "\\%03o", static_cast<unsigned>(byte));
          out += code;
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string OpenLine(int templateId) { return "open " + std::to_string(templateId); }

std::string TextLine(int controlId, std::string_view text) {
  return "text " + std::to_string(controlId) + " \"" + EscapeCString(text) + "\"";
}

std::string EnableLine(int controlId, bool enabled) {
  return "enable " + std::to_string(controlId) + (enabled ? " 1" : " 0");
}

std::string EndLine(int templateId, int result) {
  return "end " + std::to_string(templateId) + " " + std::to_string(result);
}

Transcript::~Transcript() { Close(); }

bool Transcript::Open(const std::string& path, std::string* error) {
  std::lock_guard lock(mutex_);
  if (file_ != nullptr) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "w");
  if (file_ == nullptr) {
    const int code = errno;
    if (error != nullptr) *error = "cannot create transcript " + path + ": " + std::strerror(code);
    return false;
  }
  return true;
}

bool Transcript::IsOpen() const {
  std::lock_guard lock(mutex_);
  return file_ != nullptr;
}

void Transcript::Close() {
  std::lock_guard lock(mutex_);
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

void Transcript::PageOpened(const std::shared_ptr<ScriptablePage>& page) { WriteLine(OpenLine(page->TemplateId())); }
void Transcript::TextSet(int, int controlId, std::string_view text) { WriteLine(TextLine(controlId, text)); }
void Transcript::EnabledChanged(int, int controlId, bool enabled) { WriteLine(EnableLine(controlId, enabled)); }
void Transcript::PageEnded(const ScriptablePage& page, int result) { WriteLine(EndLine(page.TemplateId(), result)); }

void Transcript::WriteLine(const std::string& line) {
  std::lock_guard lock(mutex_);
  if (file_ == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);
}

}  // namespace corvash::automation
