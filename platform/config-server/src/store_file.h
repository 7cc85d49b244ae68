// Reading a store file from disk, with the limits that keep the JSON parser safe.
#ifndef HNVQR_CONFIG_SERVER_STORE_FILE_H
#define HNVQR_CONFIG_SERVER_STORE_FILE_H

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace hnvqr::config {

inline constexpr std::size_t kMaxStoreFileBytes = 10u * 1024u * 1024u;  // files must be smaller
inline constexpr int kMaxStoreNesting = 64;

enum class StoreFileStatus { Read, Missing, Failed };

// Reads the whole of `path` into `text`. Missing: nothing exists at the path. Failed:
// `problem` says what is wrong (not a regular file, unreadable, too large).
StoreFileStatus ReadStoreFile(const std::string& path, std::string& text, std::string& problem);

// "the file is too large: ...", the problem of a file at or over kMaxStoreFileBytes.
std::string TooLargeText();

// Owns a handle of the system's file API and closes it when it goes out of scope. `Traits`
// gives the Handle type, IsOpen(handle) and Close(handle).
template <class Traits>
class ScopedFile {
 public:
  using Handle = typename Traits::Handle;
  explicit ScopedFile(Handle handle) : handle_(handle) {}
  ~ScopedFile() {
    if (Traits::IsOpen(handle_)) Traits::Close(handle_);
  }
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;
  Handle get() const { return handle_; }

 private:
  Handle handle_;
};

// The reading both platforms share, after the file is open and known to be a regular file
// of `sizeSeen` bytes: refuses a size at or over the limit, then reads through
// `readSome(buffer, capacity)`, which returns the count read (0 at the end) or nothing once
// it has set `problem`. The size may change while reading: start from the size seen (one
// byte more, to see the end), grow as needed, and never read beyond the limit.
template <class ReadSome>
StoreFileStatus ReadWithinLimit(long long sizeSeen, std::string& text, std::string& problem, ReadSome&& readSome) {
  if (sizeSeen < 0 || static_cast<unsigned long long>(sizeSeen) >= kMaxStoreFileBytes) {
    problem = TooLargeText();
    return StoreFileStatus::Failed;
  }
  text.resize(std::min<std::size_t>(static_cast<std::size_t>(sizeSeen) + 1, kMaxStoreFileBytes));
  std::size_t total = 0;
  for (;;) {
    if (total == text.size()) {
      if (text.size() >= kMaxStoreFileBytes) break;
      text.resize(std::min<std::size_t>(text.size() * 2, kMaxStoreFileBytes));
    }
    const std::optional<std::size_t> count = readSome(text.data() + total, text.size() - total);
    if (!count) {
      text.clear();
      return StoreFileStatus::Failed;
    }
    if (*count == 0) break;
    total += *count;
  }
  if (total >= kMaxStoreFileBytes) {
    problem = TooLargeText();
    text.clear();
    return StoreFileStatus::Failed;
  }
  text.resize(total);
  return StoreFileStatus::Read;
}

// The JSON parser recurses once per nesting level, so depth is checked first by a linear
// scan that skips strings. Returns "line L, column C: ..." for the first bracket that opens
// level kMaxStoreNesting + 1, or nothing when the text stays within the limit.
std::optional<std::string> FindExcessiveNesting(std::string_view text);

}  // namespace hnvqr::config

#endif
