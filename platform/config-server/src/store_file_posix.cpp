// Reading a store file with POSIX calls.
#include "store_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <type_traits>

namespace hnvqr::config {
namespace {

// strerror() is not thread-safe; strerror_r comes in two flavours, both handled here.
std::string ErrorText(int error) {
  char buffer[256] = {};
  auto pick = [&](auto result) -> std::string {
    if constexpr (std::is_same_v<decltype(result), char*>) {
      return result != nullptr ? std::string(result) : std::string("error ") + std::to_string(error);
    } else {
      return result == 0 ? std::string(buffer) : std::string("error ") + std::to_string(error);
    }
  };
  return pick(strerror_r(error, buffer, sizeof buffer));
}

struct DescriptorTraits {
  using Handle = int;
  static bool IsOpen(int fd) { return fd >= 0; }
  static void Close(int fd) { ::close(fd); }
};
using FileDescriptor = ScopedFile<DescriptorTraits>;

}  // namespace

StoreFileStatus ReadStoreFile(const std::string& path, std::string& text, std::string& problem) {
  text.clear();
  // O_NONBLOCK: opening a FIFO must not wait for a writer; the type is checked right after.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.get() < 0) {
    const int error = errno;
    if (error == ENOENT) return StoreFileStatus::Missing;
    problem = "cannot open the file: " + ErrorText(error);
    return StoreFileStatus::Failed;
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) {
    problem = "cannot examine the file: " + ErrorText(errno);
    return StoreFileStatus::Failed;
  }
  if (!S_ISREG(info.st_mode)) {
    problem = "not a regular file";
    return StoreFileStatus::Failed;
  }
  const auto readSome = [&](char* buffer, std::size_t capacity) -> std::optional<std::size_t> {
    for (;;) {
      const ssize_t count = ::read(file.get(), buffer, capacity);
      if (count >= 0) return static_cast<std::size_t>(count);
      if (errno == EINTR) continue;
      problem = "cannot read the file: " + ErrorText(errno);
      return std::nullopt;
    }
  };
  return ReadWithinLimit(info.st_size, text, problem, readSome);
}

}  // namespace hnvqr::config
