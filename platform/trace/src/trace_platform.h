// What the trace needs of the operating system: trace_platform.cpp holds what both platforms
// share, over the calls of trace_platform_os.h; the rest is one implementation file per
// platform (trace_platform_posix.cpp, trace_platform_win32.cpp).
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

namespace hnvqr::trace::platform {

// The calling thread's and process's ids, as a trace line shows them.
long threadId();
long processId();

// The calendar time of `seconds` in UTC.
void utcTime(std::time_t seconds, std::tm& utc);

// The descriptor that "-" names: standard error, which the trace never closes.
extern const int kStandardError;

// A file opened for appending, with what identifies it within the process (two names of one
// file give the same identity) and whether it is a regular file (which can be emptied).
struct OpenedFile {
  int fd = -1;
  unsigned long long device = 0;
  unsigned long long inode = 0;
  bool regular = false;
};

// Opens `path` ("-": standard error) for appending, creating it. False with `reason` set
// when that fails.
bool openForAppend(const std::string& path, OpenedFile& file, std::string& reason);
// Empties a regular file. False with `reason` set when that fails.
bool truncate(int fd, std::string& reason);
// Closes a descriptor the trace opened (never standard error).
void close(int fd);
// Writes what it can: the count written, or a negative number when the file refuses more.
long write(int fd, const char* data, std::size_t size);
// Makes a write into a pipe whose reader has gone fail instead of ending the process; called
// on the writer thread.
void ignoreBrokenPipeOnThisThread();

}  // namespace hnvqr::trace::platform
