// The formatted-input engine of our VISA library against hostile instrument responses. The
// first byte picks one of the formats the driver reads with (and, for the counted "%#"
// conversions, the caller's buffer capacity); the rest is the response. Every output buffer
// is a heap block of exactly the size the driver passes, so a write past it is an ASan
// finding, and a text that comes back must be terminated inside its buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "scan_response.h"

namespace {

// Exactly `size` bytes, pre-filled so that a missing terminator shows.
std::vector<char> Buffer(std::size_t size) { return std::vector<char>(size, '\x55'); }

bool Terminated(const std::vector<char>& buffer) { return std::memchr(buffer.data(), '\0', buffer.size()) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  const ViByte* response = data + 1;
  const std::size_t length = size - 1;
  // 0 (refused), then 1 .. 31: small capacities are where off-by-one errors live.
  const ViInt32 capacity = static_cast<ViInt32>(selector >> 3);

  switch (selector % 9) {
    case 0: {
      ViReal64 value = 0;
      (void)hnvqr::visa::scanResponse(response, length, "%lf%*t", &value);
      break;
    }
    case 1: {
      ViInt32 value = 0;
      (void)hnvqr::visa::scanResponse(response, length, "%ld%*t", &value);
      break;
    }
    case 2: {
      ViInt32 value = 0;
      (void)hnvqr::visa::scanResponse(response, length, "%ld%*T", &value);
      break;
    }
    case 3: {
      ViInt16 value = 0;
      (void)hnvqr::visa::scanResponse(response, length, "%hd%*T", &value);
      break;
    }
    case 4: {
      std::vector<char> text = Buffer(256);
      if (hnvqr::visa::scanResponse(response, length, "%255[^\n]%*T", text.data()) >= 0) FUZZ_CHECK(Terminated(text));
      break;
    }
    case 5:
    case 6:
    case 7: {
      static const char* const kCountedFormats[] = {"%#[^\n]%*t", "%*[^,],%#[^\n]%*t", "%#[^,],%*t"};
      std::vector<char> text = Buffer(capacity > 0 ? static_cast<std::size_t>(capacity) : 1);
      ViInt32 count = capacity;
      const ViStatus status = hnvqr::visa::scanResponse(response, length, kCountedFormats[selector % 9 - 5], &count,
                                                        capacity > 0 ? text.data() : nullptr);
      if (status >= 0) {
        // The count written back is the characters stored, the NUL not included.
        FUZZ_CHECK(count >= 0 && count < capacity);
        FUZZ_CHECK(text[static_cast<std::size_t>(count)] == '\0');
      }
      break;
    }
    case 8: {
      std::vector<char> fields[4] = {Buffer(257), Buffer(257), Buffer(257), Buffer(257)};
      const ViStatus status =
          hnvqr::visa::scanResponse(response, length, "%256[^,],%256[^,],%256[^,],%256[^,]%*T", fields[0].data(),
                                    fields[1].data(), fields[2].data(), fields[3].data());
      if (status >= 0) {
        for (const auto& field : fields) FUZZ_CHECK(Terminated(field));
      }
      break;
    }
  }
  return 0;
}
