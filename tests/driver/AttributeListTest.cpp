// The attribute list against the public header: the header is read as text, so an attribute
// added to one and not the other, or listed out of order, fails here.
#include <fstream>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "HnVQR.h"

namespace {

using NamedId = std::pair<std::string, unsigned long>;

std::vector<NamedId> ListedAttributes() {
  return {
#define HNVQR_ATTRIBUTE(NAME, TYPE, ACCESS, KIND, ROW, VALUES, SCOPE, DESCRIPTION) {#NAME, HNVQR_ATTR_##NAME},
#define HNVQR_ATTRIBUTE_SET_BY(NAME, TYPE, SETTER, SCOPE, DESCRIPTION) {#NAME, HNVQR_ATTR_##NAME},
#include "attributes/AttributeList.def"
#undef HNVQR_ATTRIBUTE
#undef HNVQR_ATTRIBUTE_SET_BY
  };
}

TEST(AttributeList, HasEveryAttributeOfThePublicHeaderInItsOrder) {
  std::ifstream header(HNVQR_PUBLIC_HEADER);
  ASSERT_TRUE(header) << HNVQR_PUBLIC_HEADER;
  const std::regex define(R"(^\s*#\s*define\s+HNVQR_ATTR_(\w+)\s+(\d+)UL\b)");
  std::vector<NamedId> declared;
  for (std::string line; std::getline(header, line);) {
    if (std::smatch match; std::regex_search(line, match, define)) {
      declared.emplace_back(match[1].str(), std::stoul(match[2].str()));
    }
  }
  ASSERT_EQ(declared.size(), 65u);
  EXPECT_EQ(ListedAttributes(), declared);
}

}  // namespace
