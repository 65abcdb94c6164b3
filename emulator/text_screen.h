#pragma once
// The boot loader's text screen: a grid of characters that "shmsg" draws on.
// 20 rows of 30 columns (the 240 x 320 display in an 8 x 16 font); row and
// column 0 are the top left. Text that runs past the right edge is cut; a row
// below the last is not drawn. All calls are thread-safe.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace corvash::emulator {

class TextScreen {
 public:
  static constexpr uint32_t kRows = 20;
  static constexpr uint32_t kColumns = 30;

  TextScreen();

  // Draws `text` from (`row`, `column`). Characters below 0x20 or above 0x7E
  // show as '?'. Returns false when nothing of it lies on the screen.
  bool Draw(uint32_t row, uint32_t column, std::string_view text);
  void Clear();
  // The rows, each with its trailing blanks removed.
  std::vector<std::string> Lines() const;
  // Lines() joined, each ending in "\n": what `show --screen` prints and the
  // state folder keeps.
  std::string Text() const;
  // Takes back a Text(); lines and columns beyond the grid are dropped.
  void Load(std::string_view text);
  // Counts every change, so an owner can tell when to save.
  uint64_t Generation() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> rows_;
  uint64_t generation_ = 0;
};

}  // namespace corvash::emulator
