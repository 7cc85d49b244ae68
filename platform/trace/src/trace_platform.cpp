// Opening, emptying and closing trace files, the same on every platform.
#include <cerrno>

#include "trace_platform.h"
#include "trace_platform_os.h"

namespace hnvqr::trace::platform {

bool openForAppend(const std::string& path, OpenedFile& file, std::string& reason) {
  file.fd = path == "-" ? kStandardError : os::openAppending(path);
  if (file.fd < 0) {
    reason = os::reason(errno);
    return false;
  }
  if (!os::describe(file)) {
    reason = os::reason(errno);
    close(file.fd);
    file.fd = -1;
    return false;
  }
  return true;
}

bool truncate(int fd, std::string& reason) {
  if (os::makeEmpty(fd) == 0) return true;
  reason = os::reason(errno);
  return false;
}

void close(int fd) {
  if (fd >= 0 && fd != kStandardError) os::closeDescriptor(fd);
}

}  // namespace hnvqr::trace::platform
