#pragma once

#include <string_view>

#include <visatype.h>

namespace kel {

// Copies at most size - 1 characters of `text` and a terminating NUL into `buffer`; writes
// nothing when the buffer is null or its size is 0 or less.
void CopyToBuffer(std::string_view text, ViInt32 size, ViChar* buffer);

}  // namespace kel
