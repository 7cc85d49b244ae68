#include "kel/Buffers.h"

#include <algorithm>
#include <cstring>

namespace kel {

void CopyToBuffer(std::string_view text, ViInt32 size, ViChar* buffer) {
  if (buffer == nullptr || size <= 0) return;
  const std::size_t count = std::min(text.size(), static_cast<std::size_t>(size) - 1);
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
}

}  // namespace kel
