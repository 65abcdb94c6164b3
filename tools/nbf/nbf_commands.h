#pragma once
// The commands of the nbf tool, apart from its command line so that tests
// can run them. Each writes its report to `out` and its complaints to `err`
// and returns the process's exit status.
//
//   Info(file)    0 when the header and checksum could be shown (whether or
//                 not it verifies), 2 when the file cannot be read or is
//                 shorter than its 32-byte header.
//   Verify(file)  0 verifies, 1 does not, 2 unreadable or shorter than 32
//                 bytes; one line saying which.
//   Create(...)   0 when `out` was written: the header as the backup writer
//                 lays it out, then the payload. 2 with a message when a
//                 field does not fill its header slot exactly (model 9,
//                 variant 3, language 3, version 4 characters), holds a
//                 character outside printable ASCII, or a file cannot be
//                 read or written; `out` is then left as it was.
#include <ostream>
#include <string>

namespace corvash::nbf {

inline constexpr int kExitOk = 0;
inline constexpr int kExitMismatch = 1;
inline constexpr int kExitUnusable = 2;

struct CreateFields {
  std::string model;
  std::string variant;
  std::string langCode;
  std::string version;
};

int Info(const std::string& file, std::ostream& out, std::ostream& err);
int Verify(const std::string& file, std::ostream& out, std::ostream& err);
int Create(const CreateFields& fields, const std::string& payload, const std::string& outFile, std::ostream& out,
           std::ostream& err);

}  // namespace corvash::nbf
