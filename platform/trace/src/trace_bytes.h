// Bytes back from a trace line: the writer escapes each byte as the code point of the same
// value, so in the parsed text a byte of 0x80 and above is a two-byte UTF-8 sequence (lead
// 0xC2 or 0xC3). Shared by the replay and the command-line tool, which read traces.
#pragma once

#include <string>
#include <string_view>

namespace hnvqr::trace {

inline std::string bytesFromTraceText(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead >= 0xC0 && lead < 0xE0 && i + 1 < text.size()) {
      bytes += static_cast<char>(((lead & 0x1F) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F));
    } else {
      bytes += static_cast<char>(lead);
    }
  }
  return bytes;
}

}  // namespace hnvqr::trace
