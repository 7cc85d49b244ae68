#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "trace_platform.h"

namespace hnvqr::trace::platform {
namespace {

std::string systemReason(int error) {
  char text[128];
  // The GNU strerror_r returns its text, which need not be in `text`.
  return ::strerror_r(error, text, sizeof text);
}

}  // namespace

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

bool openForAppend(const std::string& path, OpenedFile& file, std::string& reason) {
  file.fd = path == "-" ? STDERR_FILENO : ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (file.fd < 0) {
    reason = systemReason(errno);
    return false;
  }
  struct stat status {};
  if (::fstat(file.fd, &status) != 0) {
    reason = systemReason(errno);
    close(file.fd);
    file.fd = -1;
    return false;
  }
  file.device = static_cast<unsigned long long>(status.st_dev);
  file.inode = static_cast<unsigned long long>(status.st_ino);
  file.regular = S_ISREG(status.st_mode);
  return true;
}

bool truncate(int fd, std::string& reason) {
  if (::ftruncate(fd, 0) == 0) return true;
  reason = systemReason(errno);
  return false;
}

void close(int fd) {
  if (fd >= 0 && fd != STDERR_FILENO) ::close(fd);
}

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
