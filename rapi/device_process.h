#pragma once
// Process start on the emulated handheld: a program of the file store is a
// host executable, run without arguments as a child whose environment names
// the handheld's state folder (K5210_STATE). It is never waited for: it runs
// detached (a second fork), so nothing is left to reap.
#include <cstdint>
#include <filesystem>

namespace corvash::rapi {

// True once `program` has been executed; false with `*lastError`
// (ERROR_FILE_NOT_FOUND, ERROR_BAD_EXE_FORMAT, ERROR_ACCESS_DENIED) when it
// could not be. The file is made executable first (the handheld knows no
// execute permission). Standard input and output go to /dev/null. Any thread.
bool StartDeviceProgram(const std::filesystem::path& program, const std::filesystem::path& stateDir,
                        uint32_t* lastError);

}  // namespace corvash::rapi
