// backup.exe's entry: the window, the worker, the message loop. The command
// line is ignored.
#include "device/backup/backup_agent.h"
#include "device/platform/handle_table.h"
#include "device/platform/processes.h"
#include "device/platform/threads.h"

namespace corvash::backup {
namespace {

int WinMain(int nCmdShow) {
  TerminateEarlierAgent();
  const ce::HWND hWnd = CreateAgentWindow();
  if (hWnd == nullptr) return 0;
  const ce::HANDLE hThread = ce::CreateThread(nullptr, 0, BackupThread, hWnd, 0, nullptr);
  if (hThread != nullptr) ce::CloseHandle(hThread);
  ce::ShowWindow(hWnd, nCmdShow);
  ce::UpdateWindow(hWnd);
  ce::MSG msg;
  while (ce::GetMessageW(&msg, nullptr, 0, 0)) {
    ce::TranslateMessage(&msg);
    ce::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace
}  // namespace corvash::backup

// The process ends with the message loop, whatever the worker is doing then.
int main() { corvash::ce::ExitProcess(static_cast<corvash::ce::UINT>(corvash::backup::WinMain(corvash::ce::SW_SHOW))); }
