#include "desktop/resources/resource_script.h"

#include <string>

#include "desktop/resources/embedded_files.h"

namespace corvash::resources {
namespace {

constexpr const char* kScriptName = "corvash.rc";

template <typename Map>
std::vector<int> Keys(const Map& map) {
  std::vector<int> keys;
  keys.reserve(map.size());
  for (const auto& entry : map) keys.push_back(entry.first);
  return keys;
}

ResourceScript BuildDefault() {
  const auto files = EmbeddedFiles();
  std::string_view text;
  for (const EmbeddedFile& file : files)
    if (std::string_view(file.name) == kScriptName)
      text = std::string_view(reinterpret_cast<const char*>(file.data), file.size);
  ResourceScript script = ResourceScript::Parse(text);
  for (const EmbeddedFile& file : files)
    if (std::string_view(file.name) != kScriptName)
      script.AttachFile(file.name, std::vector<uint8_t>(file.data, file.data + file.size));
  return script;
}

}  // namespace

const DialogControl* DialogTemplate::Control(int controlId) const {
  for (const DialogControl& control : controls)
    if (control.id == controlId) return &control;
  return nullptr;
}

const ResourceScript& ResourceScript::LoadDefault() {
  static const ResourceScript script = BuildDefault();  // initialised once, thread-safe
  return script;
}

const DialogTemplate* ResourceScript::Dialog(int id) const {
  const auto found = dialogs_.find(id);
  return found == dialogs_.end() ? nullptr : &found->second;
}

std::string ResourceScript::String(int id) const {
  const auto found = strings_.find(id);
  return found == strings_.end() ? std::string() : found->second;
}

bool ResourceScript::HasString(int id) const { return strings_.count(id) != 0; }

std::vector<uint8_t> ResourceScript::Bitmap(int id) const {
  const auto found = files_.find(BitmapFile(id));
  return found == files_.end() ? std::vector<uint8_t>() : found->second;
}

std::vector<uint8_t> ResourceScript::Icon(int id) const {
  const auto found = files_.find(IconFile(id));
  return found == files_.end() ? std::vector<uint8_t>() : found->second;
}

std::vector<int> ResourceScript::DialogIds() const { return Keys(dialogs_); }
std::vector<int> ResourceScript::StringIds() const { return Keys(strings_); }

std::string ResourceScript::BitmapFile(int id) const {
  const auto found = bitmapFiles_.find(id);
  return found == bitmapFiles_.end() ? std::string() : found->second;
}

std::string ResourceScript::IconFile(int id) const {
  const auto found = iconFiles_.find(id);
  return found == iconFiles_.end() ? std::string() : found->second;
}

void ResourceScript::AttachFile(const std::string& fileName, std::vector<uint8_t> bytes) {
  files_[fileName] = std::move(bytes);
}

}  // namespace corvash::resources
