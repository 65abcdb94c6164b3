#include "device/backup/backup_agent.h"
#include "device/platform/debug_output.h"
#include "device/platform/device_files.h"
#include "device/platform/handle_table.h"
#include "device/platform/processes.h"
#include "device/platform/wide_format.h"

namespace corvash::backup {
namespace {

ce::LRESULT WndProc(ce::HWND hWnd, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam) {
  switch (message) {
    case ce::WM_CREATE: return 0;
    case ce::WM_DESTROY: ce::PostQuitMessage(0); return 0;
    default: return ce::DefWindowProcW(hWnd, message, wParam, lParam);
  }
}

}  // namespace

void ChunkPath(ce::WCHAR (&path)[260]) { ce::wsprintfW(std::span<ce::WCHAR>(path), u"\\temp\\%s", u"image.nb"); }

void TerminateEarlierAgent() {
  const ce::HWND hPrevWnd = ce::FindWindowW(kWindowClass, nullptr);
  if (hPrevWnd == nullptr) return;
  ce::OutputDebugStringW(u"Terminate Pre Win ----in---- \r\n");
  ce::DWORD dwProcessId = 0;
  ce::GetWindowThreadProcessId(hPrevWnd, &dwProcessId);
  const ce::HANDLE hProcess = ce::OpenProcess(ce::PROCESS_ALL_ACCESS, ce::FALSE, dwProcessId);
  if (hProcess == nullptr || !ce::TerminateProcess(hProcess, 0)) {
    ce::OutputDebugStringW(u"Terminate process fail\r\n");
  } else {
    // Its chunk file stays open, and cannot be deleted, until it has ended.
    ce::WaitForSingleObject(hProcess, EARLIER_AGENT_END_MS);
  }
  if (hProcess != nullptr) ce::CloseHandle(hProcess);
  ce::WCHAR szChunkPath[260];
  ChunkPath(szChunkPath);
  if (!ce::DeleteFileW(ce::TextOf(szChunkPath))) ce::OutputDebugStringW(u"Delete File Fail\r\n");
  ce::OutputDebugStringW(u"Terminate Pre Win ----out---- \r\n");
}

ce::HWND CreateAgentWindow() {
  ce::WNDCLASSW wc;
  wc.style = ce::CS_HREDRAW | ce::CS_VREDRAW;
  wc.lpfnWndProc = WndProc;
  wc.hbrBackground = ce::GetStockObject(ce::WHITE_BRUSH);
  wc.lpszClassName = kWindowClass;
  if (ce::RegisterClassW(&wc) == 0) return nullptr;
  return ce::CreateWindowW(kWindowClass, kWindowClass, ce::WS_VISIBLE, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                           nullptr);
}

}  // namespace corvash::backup
