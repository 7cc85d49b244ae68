#include "store_file.h"

#include <string>

namespace hnvqr::config {

std::string TooLargeText() {
  return "the file is too large: a configuration store must be smaller than " + std::to_string(kMaxStoreFileBytes) +
         " bytes (10 MiB)";
}

std::optional<std::string> FindExcessiveNesting(std::string_view text) {
  int depth = 0;
  bool inString = false;
  bool escaped = false;
  std::size_t line = 1;
  std::size_t column = 0;
  for (const char c : text) {
    if (c == '\n') {
      ++line;
      column = 0;
    } else {
      ++column;
    }
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    switch (c) {
      case '"':
        inString = true;
        break;
      case '[':
      case '{':
        if (++depth > kMaxStoreNesting) {
          return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": nested deeper than " +
                 std::to_string(kMaxStoreNesting) + " levels";
        }
        break;
      case ']':
      case '}':
        // Unbalanced closers are the parser's to report; only depth matters here.
        if (depth > 0) --depth;
        break;
      default:
        break;
    }
  }
  return std::nullopt;
}

}  // namespace hnvqr::config
