#include "device/platform/windows.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "device/platform/handle_table.h"
#include "device/platform/processes.h"
#include "device/platform/window_registry.h"

namespace corvash::ce {
namespace {

// The messages of one thread.
class MessageQueue {
 public:
  void Push(const MSG& message) {
    {
      std::lock_guard lock(mutex_);
      messages_.push_back(message);
    }
    ready_.notify_one();
  }
  MSG Pop() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return !messages_.empty(); });
    const MSG message = messages_.front();
    messages_.pop_front();
    return message;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<MSG> messages_;
};

std::shared_ptr<MessageQueue> ThisThreadsQueue() {
  thread_local const auto queue = std::make_shared<MessageQueue>();
  return queue;
}

// A window of this process (with its procedure and its thread's queue) or
// another program's window, known only by its class and process.
class Window : public KernelObject {
 public:
  Window(std::u16string className, WNDPROC procedure, std::shared_ptr<MessageQueue> queue, DWORD processId)
      : className_(std::move(className)), procedure_(procedure), queue_(std::move(queue)), processId_(processId) {}
  const std::u16string& className() const { return className_; }
  WNDPROC procedure() const { return procedure_; }
  MessageQueue* queue() const { return queue_.get(); }
  DWORD processId() const { return processId_; }
  bool Local() const { return procedure_ != nullptr; }

 private:
  std::u16string className_;
  WNDPROC procedure_;
  std::shared_ptr<MessageQueue> queue_;
  DWORD processId_;
};

// Class names compare without regard to ASCII letter case.
std::u16string KeyOf(std::u16string_view name) {
  std::u16string key(name);
  for (char16_t& unit : key) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
  }
  return key;
}

struct Windowing {
  std::mutex mutex;
  std::map<std::u16string, WNDPROC> classes;
  std::map<std::u16string, HWND> topLevel;  // this process's windows by class
  std::map<DWORD, HWND> foreign;            // other programs' windows by process
};

Windowing& TheWindowing() {
  static Windowing windowing;
  return windowing;
}

std::u16string_view TextOrEmpty(const WCHAR* text) { return text != nullptr ? std::u16string_view(text) : u""; }

}  // namespace

HANDLE GetStockObject(int object) {
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x8000 + (object & 0xFF)));
}

ATOM RegisterClassW(const WNDCLASSW* lpWndClass) {
  if (lpWndClass == nullptr || lpWndClass->lpfnWndProc == nullptr || TextOrEmpty(lpWndClass->lpszClassName).empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Windowing& windowing = TheWindowing();
  std::lock_guard lock(windowing.mutex);
  const auto [place, added] =
      windowing.classes.emplace(KeyOf(lpWndClass->lpszClassName), lpWndClass->lpfnWndProc);
  if (!added) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  return static_cast<ATOM>(0xC000 + windowing.classes.size());
}

HWND CreateWindowW(const WCHAR* lpClassName, const WCHAR* /*lpWindowName*/, DWORD /*dwStyle*/, int /*x*/,
                   int /*y*/, int /*nWidth*/, int /*nHeight*/, HWND hWndParent, HANDLE /*hMenu*/,
                   HANDLE /*hInstance*/, void* /*lpParam*/) {
  const std::u16string key = KeyOf(TextOrEmpty(lpClassName));
  Windowing& windowing = TheWindowing();
  WNDPROC procedure = nullptr;
  {
    std::lock_guard lock(windowing.mutex);
    const auto found = windowing.classes.find(key);
    if (found != windowing.classes.end()) procedure = found->second;
  }
  if (procedure == nullptr) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  const HWND window = AddHandle(std::make_shared<Window>(key, procedure, ThisThreadsQueue(), GetCurrentProcessId()));
  if (procedure(window, WM_CREATE, 0, 0) == -1) {
    CloseHandle(window);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (hWndParent == nullptr) {
    {
      std::lock_guard lock(windowing.mutex);
      windowing.topLevel[key] = window;
    }
    RecordWindowOwner(TextOrEmpty(lpClassName));
  }
  return window;
}

BOOL ShowWindow(HWND hWnd, int /*nCmdShow*/) {
  const auto window = FindHandleOf<Window>(hWnd);
  return window && window->Local() ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hWnd) { return ShowWindow(hWnd, SW_SHOW); }

BOOL DestroyWindow(HWND hWnd) {
  const auto window = FindHandleOf<Window>(hWnd);
  if (!window || !window->Local()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  window->procedure()(hWnd, WM_DESTROY, 0, 0);
  Windowing& windowing = TheWindowing();
  bool topLevel = false;
  {
    std::lock_guard lock(windowing.mutex);
    const auto found = windowing.topLevel.find(window->className());
    if (found != windowing.topLevel.end() && found->second == hWnd) {
      windowing.topLevel.erase(found);
      topLevel = true;
    }
  }
  if (topLevel) ForgetWindowOwner(window->className());
  CloseHandle(hWnd);
  return TRUE;
}

HWND FindWindowW(const WCHAR* lpClassName, const WCHAR* /*lpWindowName*/) {
  const std::u16string key = KeyOf(TextOrEmpty(lpClassName));
  if (key.empty()) return nullptr;
  Windowing& windowing = TheWindowing();
  {
    std::lock_guard lock(windowing.mutex);
    const auto local = windowing.topLevel.find(key);
    if (local != windowing.topLevel.end()) return local->second;
  }
  const auto owner = FindWindowOwner(key);
  if (!owner || *owner == GetCurrentProcessId()) return nullptr;
  std::lock_guard lock(windowing.mutex);
  const auto known = windowing.foreign.find(*owner);
  if (known != windowing.foreign.end()) {
    const auto window = FindHandleOf<Window>(known->second);
    if (window && window->className() == key) return known->second;
  }
  const HWND window = AddHandle(std::make_shared<Window>(key, nullptr, nullptr, *owner));
  windowing.foreign[*owner] = window;
  return window;
}

DWORD GetWindowThreadProcessId(HWND hWnd, DWORD* lpdwProcessId) {
  const auto window = FindHandleOf<Window>(hWnd);
  if (lpdwProcessId != nullptr) *lpdwProcessId = window ? window->processId() : 0;
  return 0;
}

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  const auto window = FindHandleOf<Window>(hWnd);
  if (!window || !window->Local()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  window->queue()->Push(MSG{hWnd, Msg, wParam, lParam});
  return TRUE;
}

void PostQuitMessage(int nExitCode) {
  ThisThreadsQueue()->Push(MSG{nullptr, WM_QUIT, static_cast<WPARAM>(static_cast<UINT>(nExitCode)), 0});
}

BOOL GetMessageW(MSG* lpMsg, HWND /*hWnd*/, UINT /*wMsgFilterMin*/, UINT /*wMsgFilterMax*/) {
  const MSG message = ThisThreadsQueue()->Pop();
  if (lpMsg != nullptr) *lpMsg = message;
  return message.message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG* /*lpMsg*/) { return FALSE; }

LRESULT DispatchMessageW(const MSG* lpMsg) {
  if (lpMsg == nullptr) return 0;
  const auto window = FindHandleOf<Window>(lpMsg->hwnd);
  if (!window || !window->Local()) return 0;
  return window->procedure()(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  if (Msg == WM_CLOSE) DestroyWindow(hWnd);
  return 0;
}

}  // namespace corvash::ce
