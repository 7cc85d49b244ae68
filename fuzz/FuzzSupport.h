// Helpers shared by the fuzz targets: the input as a C string, a scratch folder for store
// files, and a check that aborts (so libFuzzer records a crash) when an invariant breaks.
#ifndef HNVQR_FUZZ_SUPPORT_H
#define HNVQR_FUZZ_SUPPORT_H

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "../tests/support/TemporaryFolder.h"

namespace fuzz {

// The input up to its first NUL: what a C caller could pass as a ViConstString.
inline std::string AsCString(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

// An invariant of the code under test; a broken one is a finding, not a skipped input.
#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)

// A folder of its own under the temporary directory, removed when the process ends.
class ScratchFolder {
 public:
  bool ok() const { return !folder_.path().empty(); }
  std::string File(const std::string& name) const { return folder_.path().string() + "/" + name; }

 private:
  test_support::TemporaryFolder folder_{"hnvqr-fuzz"};
};

// Writes `size` bytes to `path`, replacing the file; false when that fails.
inline bool WriteFile(const std::string& path, const void* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

}  // namespace fuzz

#endif  // HNVQR_FUZZ_SUPPORT_H
