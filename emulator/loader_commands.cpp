#include "emulator/loader_commands.h"

#include <vector>

#include "common/loader_wire.h"

namespace corvash::emulator {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

}  // namespace

bool IsCommand(std::string_view line, std::string_view word) {
  return line.substr(0, word.size()) == word && (line.size() == word.size() || line[word.size()] == ' ');
}

std::optional<uint32_t> ParseHex32(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
  if (text.empty() || text.size() > 8) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = value << 4 | digit;
  }
  return value;
}

std::optional<LoadCommand> ParseLoadCommand(std::string_view line) {
  if (!IsCommand(line, common::LNB_COMMAND)) return std::nullopt;
  const auto words = Words(line);
  if (words.size() < 5) return std::nullopt;
  return LoadCommand{std::string(words[1]), std::string(words[2]), std::string(words[3]),
                     std::string(words[4])};
}

std::string LoadReply(const LoadCommand& command) {
  std::string reply;
  const auto key_line = [&reply](std::string_view key, const std::string& value) {
    reply.append(key).append(value).append("\r\n");
  };
  key_line(common::KEY_FILE, command.file);
  key_line(common::KEY_ADDRESS, command.address);
  key_line(common::KEY_LENGTH, command.length);
  key_line(common::KEY_OFFSET, command.offset);
  reply.append(common::START_DOWNLOAD_KEY).append("\r\n");
  return reply;
}

std::optional<ScreenText> ParseScreenText(std::string_view line) {
  if (!IsCommand(line, common::SHMSG_COMMAND)) return std::nullopt;
  const size_t quote = line.find('"');
  if (quote == std::string_view::npos) return std::nullopt;
  const auto words = Words(line.substr(0, quote));
  if (words.size() != 3) return std::nullopt;
  const auto row = ParseHex32(words[1]);
  const auto column = ParseHex32(words[2]);
  if (!row || !column) return std::nullopt;
  std::string_view text = line.substr(quote + 1);
  const size_t closing = text.rfind('"');
  if (closing != std::string_view::npos) text = text.substr(0, closing);
  return ScreenText{*row, *column, std::string(text)};
}

std::optional<ReadRequest> ParseReadRequest(std::string_view command) {
  if (!IsCommand(command, common::READDATA_COMMAND)) return std::nullopt;
  const auto words = Words(command);
  if (words.size() != 3) return std::nullopt;
  const auto address = ParseHex32(words[1]);
  const auto length = ParseHex32(words[2]);
  if (!address || !length) return std::nullopt;
  return ReadRequest{*address, *length};
}

std::string ReadReply(const FlashImage& flash, const ReadRequest& request) {
  const uint32_t length = std::min(request.length, kMaxReadLength);
  std::string reply(kReadDataReplyHead);
  const size_t head = reply.size();
  reply.resize(head + length);
  flash.Read(request.address, std::span(reinterpret_cast<uint8_t*>(reply.data() + head), length));
  reply.append(common::FRAME_END);
  return reply;
}

}  // namespace corvash::emulator
