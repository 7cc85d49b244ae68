#include <windows.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include "trace_platform.h"
#include "trace_platform_os.h"

namespace hnvqr::trace::platform {

std::string os::reason(int error) {
  char text[128];
  if (strerror_s(text, sizeof text, error) != 0) return "error " + std::to_string(error);
  return text;
}

const int kStandardError = 2;

long threadId() { return static_cast<long>(::GetCurrentThreadId()); }

long processId() { return static_cast<long>(::GetCurrentProcessId()); }

void utcTime(std::time_t seconds, std::tm& utc) { ::gmtime_s(&utc, &seconds); }

int os::openAppending(const std::string& path) {
  return ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

bool os::describe(OpenedFile& file) {
  // The volume serial number and file index identify a file on Windows (st_ino is 0 there).
  BY_HANDLE_FILE_INFORMATION information{};
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.fd));
  if (handle != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(handle, &information)) {
    file.device = information.dwVolumeSerialNumber;
    file.inode = (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    file.regular = ::GetFileType(handle) == FILE_TYPE_DISK;
  } else {
    // A console or pipe: one identity per descriptor number is all the process needs.
    file.device = ~0ULL;
    file.inode = static_cast<unsigned long long>(file.fd);
    file.regular = false;
  }
  return true;
}

int os::makeEmpty(int fd) { return ::_chsize_s(fd, 0); }

void os::closeDescriptor(int fd) { ::_close(fd); }

long write(int fd, const char* data, std::size_t size) {
  const unsigned int piece = size > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<unsigned int>(size);
  return static_cast<long>(::_write(fd, data, piece));
}

// Windows has no SIGPIPE: a write into a closed pipe fails on its own.
void ignoreBrokenPipeOnThisThread() {}

}  // namespace hnvqr::trace::platform
