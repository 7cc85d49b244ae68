// Reading a store file from disk, with the limits that keep the JSON parser safe.
#ifndef HNVQR_CONFIG_SERVER_STORE_FILE_H
#define HNVQR_CONFIG_SERVER_STORE_FILE_H

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

// The JSON parser recurses once per nesting level, so depth is checked first by a linear
// scan that skips strings. Returns "line L, column C: ..." for the first bracket that opens
// level kMaxStoreNesting + 1, or nothing when the text stays within the limit.
std::optional<std::string> FindExcessiveNesting(std::string_view text);

}  // namespace hnvqr::config

#endif
