// Counts the calls of the global operator new made by the calling thread, so that a
// benchmark can prove its timed loop allocates nothing.
#pragma once

#include <cstdint>

namespace bench {

// Calls of any form of the global operator new on this thread since it started.
std::uint64_t AllocationsOnThisThread();

}  // namespace bench
