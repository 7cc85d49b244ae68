// Small text helpers shared by the framework: trimming, ASCII case mapping, case-blind
// comparison for name tables, and splitting lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kel::text {

// The characters that option and selector texts are trimmed of.
inline constexpr std::string_view kDefaultTrimChars = " \t\r\n";

// `text` without the leading and trailing characters that occur in `chars`.
std::string_view Trim(std::string_view text, std::string_view chars = kDefaultTrimChars);

// Copy with A-Z mapped to a-z; every other byte is kept.
std::string ToLowerAscii(std::string_view text);

// Copy with a-z mapped to A-Z; every other byte is kept. This is exactly what std::toupper
// of the classic "C" locale does to each unsigned char.
std::string ToUpper(std::string_view text);

// True when the texts have the same length and equal bytes after ASCII upper-casing.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Ordering of keys that ignores case: bytes are upper-cased (ASCII, as in ToUpper) and then
// compared as unsigned char. Transparent, so a table keyed by std::string can be searched
// with a string_view or a C string without a copy:
//   std::map<std::string, T, CaseInsensitiveLess>
struct CaseInsensitiveLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// Splits `text` at every `separator` and trims each piece of the characters in `trimChars`.
// An empty text gives no pieces (so a selector level that is empty names nothing); any
// other text with n separators gives n + 1 pieces, which may be empty after trimming:
// "ON,  1" -> {"ON", "1"}, "a,,b" -> {"a", "", "b"}, "a," -> {"a", ""}, " " -> {""}.
// The pieces view `text`, which must outlive them.
std::vector<std::string_view> SplitAndTrim(std::string_view text, char separator,
                                           std::string_view trimChars = kDefaultTrimChars);

}  // namespace kel::text
