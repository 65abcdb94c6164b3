#pragma once
// Processes and top-level windows of the desktop, as the sync-process control
// finds and ends them, and the start of a program.
//
// Processes come from /proc, in ascending process id (the platform's list
// order); ended ones that wait to be reaped are left out. Top-level windows are those registered in the prefix's
// `toplevel/` folder: one file per window named "<pid>.<n>" holding its title
// (the sync software's stand-ins register theirs there; files of processes
// that are gone are left out); they are listed in
// the order of their file names' modification times, oldest first, then by
// name. Any thread.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace corvash::platform {

struct ProcessEntry {
  pid_t pid = 0;
  std::string name;        // the image name (the kernel's short command name)
  std::string executable;  // the executable's path; empty when it cannot be read
};
std::vector<ProcessEntry> ListProcesses();

struct TopLevelWindow {
  pid_t owner = 0;
  std::string title;
};
std::vector<TopLevelWindow> ListTopLevelWindows();
std::filesystem::path TopLevelWindowsDir();

// Ends process `pid` at once (as TerminateProcess does). False when it
// cannot be signalled.
bool TerminateProcess(pid_t pid);

// Starts `program` without arguments in a session of its own, not waited for
// (it is reaped by init). False when it cannot be started; errno then holds
// the reason.
bool StartProgram(const std::string& program);

}  // namespace corvash::platform
