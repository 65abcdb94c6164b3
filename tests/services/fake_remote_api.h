#pragma once
// A remote API over an in-memory file store, for the paths a real handheld
// cannot be made to take: sessions that never start, scripted invocation
// answers and power readings. Every call is recorded.
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "common/utf16_text.h"
#include "rapi/remote_api.h"

namespace corvash::test {

class FakeRemoteApi : public rapi::RemoteApi {
 public:
  using Invocation = std::function<rapi::HRESULT(std::span<const uint8_t> input, std::vector<uint8_t>& output)>;

  // Behaviour.
  int startFailures = 0;                 // starts that fail before one succeeds (-1: all)
  std::map<std::string, Invocation> functions;  // "Dll/Function"
  std::vector<int> mains;                // answers of the power query in turn; -1 fails; the last repeats
  bool createFails = false;

  // What happened.
  std::vector<std::string> calls;
  std::map<std::string, std::vector<uint8_t>> files;  // device path (UTF-8) -> contents
  std::vector<std::vector<uint8_t>> inputs;          // inputs of invocations
  int starts = 0;

  rapi::HRESULT CeRapiInitEx(rapi::RapiInitRecord& init) override {
    std::lock_guard lock(mutex_);
    ++starts;
    calls.push_back("init");
    if (startFailures < 0 || starts <= startFailures) return rapi::E_FAIL;
    init.heRapiInit = std::make_shared<common::Event>(true, true);
    return rapi::S_OK;
  }
  rapi::HRESULT CeRapiUninit() override {
    std::lock_guard lock(mutex_);
    calls.push_back("uninit");
    return rapi::S_OK;
  }
  rapi::HRESULT CeRapiInvoke(const std::u16string& dll, const std::u16string& function,
                             std::span<const uint8_t> input, std::vector<uint8_t>& output) override {
    std::lock_guard lock(mutex_);
    const std::string name = common::FromUtf16(dll) + "/" + common::FromUtf16(function);
    calls.push_back("invoke " + name);
    inputs.emplace_back(input.begin(), input.end());
    output.clear();
    auto it = functions.find(name);
    return it == functions.end() ? rapi::E_FAIL : it->second(input, output);
  }
  uint32_t CeGetLastError() override { return 0; }
  rapi::HRESULT CeRapiGetError() override { return 0; }
  rapi::CeHandle CeCreateFile(const std::u16string& path, uint32_t, uint32_t, uint32_t, uint32_t) override {
    std::lock_guard lock(mutex_);
    const std::string name = common::FromUtf16(path);
    calls.push_back("create " + name);
    if (createFails) return rapi::kInvalidHandle;
    files[name].clear();
    open_.push_back(name);
    return static_cast<rapi::CeHandle>(open_.size());
  }
  int32_t CeWriteFile(rapi::CeHandle file, std::span<const uint8_t> data, uint32_t& done) override {
    std::lock_guard lock(mutex_);
    auto& contents = files[open_.at(file - 1)];
    contents.insert(contents.end(), data.begin(), data.end());
    done = static_cast<uint32_t>(data.size());
    return 1;
  }
  int32_t CeReadFile(rapi::CeHandle, std::span<uint8_t>, uint32_t& done) override {
    done = 0;
    return 0;
  }
  int32_t CeCloseHandle(rapi::CeHandle) override {
    std::lock_guard lock(mutex_);
    calls.push_back("close");
    return 1;
  }
  int32_t CeDeleteFile(const std::u16string&) override { return 0; }
  int32_t CeMoveFile(const std::u16string&, const std::u16string&) override { return 0; }
  int32_t CeCreateProcess(const std::u16string&) override { return 0; }
  int32_t CeGetSystemPowerStatusEx(rapi::CePowerStatus& status, int32_t) override {
    std::lock_guard lock(mutex_);
    int answer = -1;
    if (!mains.empty()) {
      answer = mains.front();
      if (mains.size() > 1) mains.erase(mains.begin());
    }
    if (answer < 0) return 0;
    status.ACLineStatus = static_cast<uint8_t>(answer);
    return 1;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> open_;
};

}  // namespace corvash::test
