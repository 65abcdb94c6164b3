#include "emulator/text_screen.h"

namespace corvash::emulator {

TextScreen::TextScreen() : rows_(kRows, std::string(kColumns, ' ')) {}

bool TextScreen::Draw(uint32_t row, uint32_t column, std::string_view text) {
  if (row >= kRows || column >= kColumns || text.empty()) return false;
  std::lock_guard lock(mutex_);
  std::string& line = rows_[row];
  for (size_t i = 0; i < text.size() && column + i < kColumns; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    line[column + i] = (c >= 0x20 && c <= 0x7E) ? static_cast<char>(c) : '?';
  }
  ++generation_;
  return true;
}

void TextScreen::Clear() {
  std::lock_guard lock(mutex_);
  for (auto& line : rows_) line.assign(kColumns, ' ');
  ++generation_;
}

std::vector<std::string> TextScreen::Lines() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> lines;
  lines.reserve(rows_.size());
  for (const auto& row : rows_) {
    const size_t end = row.find_last_not_of(' ');
    lines.push_back(end == std::string::npos ? std::string() : row.substr(0, end + 1));
  }
  return lines;
}

std::string TextScreen::Text() const {
  std::string text;
  for (const auto& line : Lines()) text.append(line).append("\n");
  return text;
}

void TextScreen::Load(std::string_view text) {
  std::lock_guard lock(mutex_);
  for (auto& line : rows_) line.assign(kColumns, ' ');
  uint32_t row = 0;
  while (!text.empty() && row < kRows) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    for (size_t i = 0; i < line.size() && i < kColumns; ++i) {
      const auto c = static_cast<unsigned char>(line[i]);
      rows_[row][i] = (c >= 0x20 && c <= 0x7E) ? static_cast<char>(c) : '?';
    }
    ++row;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  ++generation_;
}

uint64_t TextScreen::Generation() const {
  std::lock_guard lock(mutex_);
  return generation_;
}

}  // namespace corvash::emulator
