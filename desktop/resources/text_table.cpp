#include "desktop/resources/text_table.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "common/fixed_text.h"
#include "desktop/resources/resource_script.h"

namespace corvash::resources {
namespace {

constexpr size_t kTextCount = kLastTextId - kFirstTextId + 1;

struct Table {
  std::array<std::array<char, kTextCapacity>, kTextCount> texts{};
};

std::atomic<const Table*> g_current{nullptr};
std::mutex g_tablesMutex;
// Every table ever published stays until the process ends, so that a text
// pointer handed out before a reload stays valid.
std::vector<std::unique_ptr<Table>>& Tables() {
  static std::vector<std::unique_ptr<Table>> tables;
  return tables;
}

}  // namespace

size_t CopyTextCut(char* buffer, size_t capacity, std::string_view text) {
  if (buffer == nullptr || capacity == 0) return 0;
  const size_t length = common::CleanCut(text, capacity - 1);
  if (length > 0) std::memcpy(buffer, text.data(), length);
  std::memset(buffer + length, 0, capacity - length);
  return length;
}

void LoadTextTable(const ResourceScript& script, size_t capacity) {
  capacity = std::clamp<size_t>(capacity, 1, kTextCapacity);
  auto table = std::make_unique<Table>();
  for (size_t i = 0; i < kTextCount; ++i) {
    const std::string text = script.String(kFirstTextId + static_cast<int>(i));
    CopyTextCut(table->texts[i].data(), capacity, text);
  }
  std::lock_guard lock(g_tablesMutex);
  g_current.store(table.get());
  Tables().push_back(std::move(table));
}

void LoadTextTable() { LoadTextTable(ResourceScript::LoadDefault()); }

const char* Text(int id) {
  if (id < kFirstTextId || id > kLastTextId) return "";
  const Table* table = g_current.load();
  if (table == nullptr) {
    static std::once_flag once;
    std::call_once(once, [] {
      if (g_current.load() == nullptr) LoadTextTable();
    });
    table = g_current.load();
  }
  return table->texts[static_cast<size_t>(id - kFirstTextId)].data();
}

}  // namespace corvash::resources
