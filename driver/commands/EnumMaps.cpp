#include "commands/EnumMaps.h"

#include "HnVQR.h"

namespace hnvqr::maps {
namespace {

// A row whose token and model are "!!!" can never be selected by a response or a model; it
// only gives ValueToName the value's name.
constexpr std::string_view kNameOnly = "!!!";

}  // namespace

// Each map is built on first use (thread-safe) from the rows of its block.
// clang-format off
#define HNVQR_ENUM_MAP(MAP)                                                   \
  const kel::EnumCommandMap& MAP() {                                          \
    static constexpr kel::EnumCommandRow kRows[] = {
#define HNVQR_VALUE_NAME(VALUE) {#VALUE, VALUE, kNameOnly, kNameOnly},
#define HNVQR_VALUE_TOKENS(VALUE, TOKENS, MODELS) {#VALUE, VALUE, TOKENS, MODELS},
#define HNVQR_END_MAP()                                                       \
    };                                                                        \
    static const kel::EnumCommandMap map(kRows);                              \
    return map;                                                               \
  }
// clang-format on
#include "commands/EnumMaps.def"
#undef HNVQR_ENUM_MAP
#undef HNVQR_VALUE_NAME
#undef HNVQR_VALUE_TOKENS
#undef HNVQR_END_MAP

}  // namespace hnvqr::maps
