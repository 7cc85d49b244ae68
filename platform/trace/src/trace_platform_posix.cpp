#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "trace_platform.h"
#include "trace_platform_os.h"

namespace hnvqr::trace::platform {

std::string os::reason(int error) {
  char text[128];
  // The GNU strerror_r returns its text, which need not be in `text`.
  return ::strerror_r(error, text, sizeof text);
}

const int kStandardError = STDERR_FILENO;

long threadId() {
  thread_local const long id = static_cast<long>(::syscall(SYS_gettid));
  return id;
}

// Asked once per thread: getpid is a system call.
long processId() {
  thread_local const long id = static_cast<long>(::getpid());
  return id;
}

void utcTime(std::time_t seconds, std::tm& utc) { ::gmtime_r(&seconds, &utc); }

int os::openAppending(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

bool os::describe(OpenedFile& file) {
  struct stat status {};
  if (::fstat(file.fd, &status) != 0) return false;
  file.device = static_cast<unsigned long long>(status.st_dev);
  file.inode = static_cast<unsigned long long>(status.st_ino);
  file.regular = S_ISREG(status.st_mode);
  return true;
}

int os::makeEmpty(int fd) { return ::ftruncate(fd, 0); }

void os::closeDescriptor(int fd) { ::close(fd); }

long write(int fd, const char* data, std::size_t size) {
  for (;;) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    return static_cast<long>(written);
  }
}

void ignoreBrokenPipeOnThisThread() {
  sigset_t pipeSignal;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
}

}  // namespace hnvqr::trace::platform
