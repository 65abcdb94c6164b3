#pragma once
// Windows and messages of the handheld's programs. A program has no screen
// here: a window is its class, its procedure and its place in the message
// queue of the thread that created it. A top-level window is known across
// the handheld through its class (window_registry.h), so FindWindowW finds
// another program's window and GetWindowThreadProcessId names its process.
// Messages go only to windows of the calling process; another program's
// window is reached by ending its process.
//
// Any thread may post; a window's messages are taken by the thread that
// created it (GetMessageW) and its procedure runs on that thread.
#include <cstdint>
#include <string_view>

#include "device/platform/ce_types.h"

namespace corvash::ce {

using HWND = HANDLE;
using ATOM = WORD;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;

inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr DWORD WS_VISIBLE = 0x10000000u;
inline constexpr int SW_SHOW = 5;
inline constexpr int WHITE_BRUSH = 0;

struct WNDCLASSW {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HANDLE hInstance = nullptr;
  HANDLE hIcon = nullptr;
  HANDLE hCursor = nullptr;
  HANDLE hbrBackground = nullptr;
  const WCHAR* lpszMenuName = nullptr;
  const WCHAR* lpszClassName = nullptr;
};

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// A stock drawing object; the handle only stands for it.
HANDLE GetStockObject(int object);

// Registers a class of this process; 0 with ERROR_CLASS_ALREADY_EXISTS for
// a name registered before, ERROR_INVALID_PARAMETER without a name or a
// procedure.
ATOM RegisterClassW(const WNDCLASSW* lpWndClass);

// Creates a window of a registered class, owned by the calling thread, and
// sends it WM_CREATE; a procedure that answers -1 refuses the window. A
// top-level window is recorded as its class's window on the handheld. Null
// with ERROR_CANNOT_FIND_WND_CLASS, or ERROR_INVALID_PARAMETER when refused.
HWND CreateWindowW(const WCHAR* lpClassName, const WCHAR* lpWindowName, DWORD dwStyle, int x, int y, int nWidth,
                   int nHeight, HWND hWndParent, HANDLE hMenu, HANDLE hInstance, void* lpParam);
BOOL ShowWindow(HWND hWnd, int nCmdShow);
BOOL UpdateWindow(HWND hWnd);
// Sends WM_DESTROY, then the window is gone (and its class record with it).
BOOL DestroyWindow(HWND hWnd);

// This process's window of the class, else the running window of the class
// that another program of the handheld created; null when there is none.
// The title is not looked at.
HWND FindWindowW(const WCHAR* lpClassName, const WCHAR* lpWindowName);
// The window's process id (and 0 as its thread id, which is not kept).
DWORD GetWindowThreadProcessId(HWND hWnd, DWORD* lpdwProcessId);

// Queues a message for a window of this process. FALSE with
// ERROR_INVALID_WINDOW_HANDLE for a window that is gone or belongs to
// another program.
BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// Queues WM_QUIT with `nExitCode` for the calling thread.
void PostQuitMessage(int nExitCode);
// Waits for the calling thread's next message: TRUE, or FALSE for WM_QUIT
// (its code in wParam). The filters are ignored.
BOOL GetMessageW(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
BOOL TranslateMessage(const MSG* lpMsg);
// Runs the window procedure of the message's window; 0 for a window that is gone.
LRESULT DispatchMessageW(const MSG* lpMsg);
// WM_CLOSE destroys the window; every other message is answered 0.
LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

}  // namespace corvash::ce
