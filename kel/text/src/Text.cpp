#include "kel/text/Text.h"

#include <algorithm>

#include "kel/text/CharClasses.h"

namespace kel::text {

std::string_view Trim(std::string_view text, std::string_view chars) {
  const std::size_t first = text.find_first_not_of(chars);
  if (first == std::string_view::npos) return text.substr(text.size());
  const std::size_t last = text.find_last_not_of(chars);
  return text.substr(first, last - first + 1);
}

std::string ToLowerAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = ToLowerAsciiChar(c);
  return result;
}

std::string ToUpper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = ToUpperAsciiChar(c);
  return result;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return ToUpperAsciiChar(x) == ToUpperAsciiChar(y); });
}

bool CaseInsensitiveLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(ToUpperAsciiChar(x)) < static_cast<unsigned char>(ToUpperAsciiChar(y));
  });
}

std::vector<std::string_view> SplitAndTrim(std::string_view text, char separator, std::string_view trimChars) {
  std::vector<std::string_view> pieces;
  if (text.empty()) return pieces;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      pieces.push_back(Trim(text.substr(start), trimChars));
      return pieces;
    }
    pieces.push_back(Trim(text.substr(start, end - start), trimChars));
    start = end + 1;
  }
}

}  // namespace kel::text
