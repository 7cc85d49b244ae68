// Channel selectors: each input is the channel name of HnVQR_SetAttributeViBoolean and
// HnVQR_GetAttributeViBoolean on OUTPUT_ENABLED, on a plain simulated session and on one
// opened through a logical name with virtual channel names; its first bytes also pick an
// index and buffer size for HnVQR_GetChannelName. The same text then goes through the raw
// kel/text scanners, checked against their stated contracts and, for short texts, against
// the std::regex patterns they stand in for.
#include <stdlib.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "HnVQR.h"
#include "kel/text/CharClasses.h"
#include "kel/text/Decimal.h"
#include "kel/text/OptionScanners.h"
#include "kel/text/SelectorScanners.h"
#include "kel/text/Text.h"

namespace {

using namespace kel::text;

// std::regex recurses per character, and the selector pattern backtracks: compare only
// texts this short.
constexpr std::size_t kRegexCompareLimit = 40;

constexpr char kStore[] = R"({"softwareModules":[{"name":"HnVQR","physicalNames":[{"name":"CH1","value":""}]}],
 "driverSessions":[{"name":"PSU1","softwareModule":"HnVQR","simulate":true,
   "virtualNames":[{"name":"Out","map":"CH","ranges":[{"first":1,"last":3,"start":1}]},
                   {"name":"Main","map":"OutputChannel!!CH1"},{"name":"Bad!","map":"Out1"}]}],
 "logicalNames":[{"name":"FuzzPSU","session":"PSU1"}]})";

ViSession plainSession = VI_NULL;
ViSession virtualSession = VI_NULL;

bool Inside(std::string_view whole, std::string_view part) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

void DriveSession(ViSession vi, const std::string& channel, const std::uint8_t* data, std::size_t size) {
  (void)HnVQR_SetAttributeViBoolean(vi, channel.c_str(), HNVQR_ATTR_OUTPUT_ENABLED, VI_TRUE);
  ViBoolean enabled = VI_FALSE;
  (void)HnVQR_GetAttributeViBoolean(vi, channel.c_str(), HNVQR_ATTR_OUTPUT_ENABLED, &enabled);

  // Index and buffer size from the first bytes; the buffer is exactly that large, so a
  // write past it is an ASan finding.
  const ViInt32 index = size > 0 ? static_cast<std::int8_t>(data[0]) : 1;
  const ViInt32 bufferSize = size > 1 ? data[1] % 40 : 16;
  std::vector<char> name(static_cast<std::size_t>(bufferSize > 0 ? bufferSize : 1));
  const ViStatus status = HnVQR_GetChannelName(vi, index, bufferSize, name.data());
  if (status >= 0 && bufferSize > 0) FUZZ_CHECK(std::memchr(name.data(), '\0', name.size()) != nullptr);

  ViStatus code = 0;
  char description[512];
  (void)HnVQR_GetError(vi, &code, static_cast<ViInt32>(sizeof description), description);
}

void CheckSelectorScanners(const std::string& text) {
  const bool grammatical = MatchesSelectorGrammar(text);
  if (const auto range = MatchSelectorRange(text)) {
    FUZZ_CHECK(grammatical);  // a range alone is a selector
    FUZZ_CHECK(Inside(text, range->base) && Inside(text, range->firstDigits) && Inside(text, range->lastDigits));
    FUZZ_CHECK(!range->base.empty() && !range->firstDigits.empty() && !range->lastDigits.empty());
    for (char c : range->base) FUZZ_CHECK(IsRangeBaseChar(c));
    for (char c : range->firstDigits) FUZZ_CHECK(IsDigit(c));
    for (char c : range->lastDigits) FUZZ_CHECK(IsDigit(c));
  }
  // Runs are maximal, ordered and made of identifier characters only.
  std::size_t next = 0;
  for (const TextRun& run : IdentifierRuns(text)) {
    FUZZ_CHECK(run.length > 0 && run.offset >= next && run.offset + run.length <= text.size());
    for (std::size_t i = next; i < run.offset; ++i) FUZZ_CHECK(!IsIdentifierChar(text[i]));
    for (std::size_t i = run.offset; i < run.offset + run.length; ++i) FUZZ_CHECK(IsIdentifierChar(text[i]));
    next = run.offset + run.length;
    FUZZ_CHECK(next == text.size() || !IsIdentifierChar(text[next]));
  }
  for (std::size_t i = next; i < text.size(); ++i) FUZZ_CHECK(!IsIdentifierChar(text[i]));

  if (text.size() > kRegexCompareLimit) return;
  static const std::regex selectorPattern = [] {
    const std::string identifier = R"(\s*[\w_!]+)";
    const std::string range = R"((?:\s*[a-z_!]+[0-9]+\s*-\s*[a-z_!]+[0-9]+))";
    const std::string list =
        "(?:" + range + "|" + identifier + ")" + R"((?:\s*,(?:)" + range + "|" + identifier + "))*";
    return std::regex(R"(^(?:\s*\[?)" + list + R"(\s*\]?)(?:\s*:\s*\[?)" + list + R"(\s*\]?)*$)",
                      std::regex::ECMAScript | std::regex::icase);
  }();
  static const std::regex rangePattern(R"(^\s*([a-z_!]+)([0-9]+)\s*-\s*\1([0-9]+)$)",
                                       std::regex::ECMAScript | std::regex::icase);
  FUZZ_CHECK(std::regex_search(text, selectorPattern) == grammatical);
  std::smatch m;
  const auto range = MatchSelectorRange(text);
  FUZZ_CHECK(std::regex_search(text, m, rangePattern) == range.has_value());
  if (range) {
    FUZZ_CHECK(range->base.data() - text.data() == m.position(1) && range->base == m.str(1));
    FUZZ_CHECK(range->firstDigits == m.str(2) && range->lastDigits == m.str(3));
  }
}

void CheckMatches(const std::string& text, const std::vector<NameValueMatch>& matches, const std::regex& pattern) {
  std::size_t next = 0;
  for (const NameValueMatch& match : matches) {
    FUZZ_CHECK(Inside(text, match.match) && Inside(match.match, match.name) && Inside(match.match, match.value));
    FUZZ_CHECK(static_cast<std::size_t>(match.match.data() - text.data()) >= next);
    next = static_cast<std::size_t>(match.match.data() - text.data()) + match.match.size();
  }
  if (text.size() > kRegexCompareLimit) return;
  std::size_t i = 0;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it, ++i) {
    FUZZ_CHECK(i < matches.size());
    const std::smatch& m = *it;
    FUZZ_CHECK(matches[i].match.data() - text.data() == m.position(0) && matches[i].match == m.str(0));
    FUZZ_CHECK(matches[i].name.data() - text.data() == m.position(1) && matches[i].name == m.str(1));
    FUZZ_CHECK(matches[i].value.data() - text.data() == m.position(2) && matches[i].value == m.str(2));
  }
  FUZZ_CHECK(i == matches.size());
}

void CheckOptionScanners(const std::string& text) {
  static const std::regex driverSetupPattern(R"(\s*DriverSetup\s*=(.*))", std::regex::ECMAScript | std::regex::icase);
  static const std::regex inherentPattern(R"(\s*(\w+)\s*=\s*(\w+)\s*,?)", std::regex::ECMAScript);
  static const std::regex itemPattern(R"(([\w+_]+)\s*(?:=|:)\s*([^,]+))", std::regex::ECMAScript);

  const auto driverSetup = FindDriverSetup(text);
  if (driverSetup) FUZZ_CHECK(driverSetup->matchStart <= text.size() && Inside(text, driverSetup->value));
  if (text.size() <= kRegexCompareLimit) {
    std::smatch m;
    FUZZ_CHECK(std::regex_search(text, m, driverSetupPattern) == driverSetup.has_value());
    if (driverSetup) {
      FUZZ_CHECK(static_cast<std::ptrdiff_t>(driverSetup->matchStart) == m.position(0));
      FUZZ_CHECK(driverSetup->value.data() - text.data() == m.position(1) && driverSetup->value == m.str(1));
    }
  }
  CheckMatches(text, InherentOptionMatches(text), inherentPattern);
  CheckMatches(text, DriverSetupItemMatches(text), itemPattern);
}

// ReadLeadingInteger reads as strtoll does in base 10; ParseDigits as the same for digits only.
void CheckDecimals(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const long long expected = std::strtoll(text.c_str(), &end, 10);
  const bool overflow = errno == ERANGE;
  const std::size_t consumed = static_cast<std::size_t>(end - text.c_str());
  const LeadingInteger read = ReadLeadingInteger(text);
  if (consumed == 0) {
    FUZZ_CHECK(read.status == DecimalStatus::kInvalid && read.length == 0 && read.value == 0);
  } else {
    FUZZ_CHECK(read.status == (overflow ? DecimalStatus::kOverflow : DecimalStatus::kOk));
    FUZZ_CHECK(read.value == expected && read.length == consumed);
  }

  std::int64_t wide = -1;
  const DecimalStatus digits = ParseDigits(text, wide);
  bool allDigits = !text.empty();
  for (char c : text) allDigits = allDigits && IsDigit(c);
  if (!allDigits) {
    FUZZ_CHECK(digits == DecimalStatus::kInvalid && wide == -1);
  } else {
    FUZZ_CHECK(digits == (overflow ? DecimalStatus::kOverflow : DecimalStatus::kOk));
    if (!overflow) FUZZ_CHECK(wide == expected);
    std::int32_t narrow = -1;
    const DecimalStatus narrowStatus = ParseDigits(text, narrow);
    const bool fits = !overflow && expected <= INT32_MAX;
    FUZZ_CHECK(narrowStatus == (fits ? DecimalStatus::kOk : DecimalStatus::kOverflow));
    if (fits) FUZZ_CHECK(narrow == expected);
  }
}

void CheckTextHelpers(const std::string& text) {
  const std::string_view trimmed = Trim(text);
  FUZZ_CHECK(Inside(text, trimmed));
  FUZZ_CHECK(EqualsIgnoreCase(ToUpper(text), ToLowerAscii(text)));
  const CaseInsensitiveLess less;
  FUZZ_CHECK(!less(text, ToLowerAscii(text)) && !less(ToUpper(text), text));
  for (const char separator : {',', ':'}) {
    const auto pieces = SplitAndTrim(text, separator);
    std::size_t separators = 0;
    for (char c : text) separators += c == separator ? 1 : 0;
    FUZZ_CHECK(pieces.size() == (text.empty() ? 0 : separators + 1));
    for (std::string_view piece : pieces) FUZZ_CHECK(Inside(text, piece));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static fuzz::ScratchFolder folder;
  const std::string store = folder.File("store.json");
  if (!folder.ok() || !fuzz::WriteFile(store, kStore, sizeof kStore - 1)) std::abort();
  setenv("IVI_CONFIG_STORE", store.c_str(), 1);
  if (HnVQR_InitWithOptions(const_cast<ViRsrc>("GPIB0::5::INSTR"), VI_FALSE, VI_FALSE, "Simulate=1", &plainSession) !=
          VI_SUCCESS ||
      HnVQR_InitWithOptions(const_cast<ViRsrc>("FuzzPSU"), VI_FALSE, VI_FALSE, "", &virtualSession) != VI_SUCCESS) {
    std::fprintf(stderr, "the simulated sessions do not open\n");
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = fuzz::AsCString(data, size);
  DriveSession(plainSession, text, data, size);
  DriveSession(virtualSession, text, data, size);
  CheckSelectorScanners(text);
  CheckOptionScanners(text);
  CheckDecimals(text);
  CheckTextHelpers(text);
  return 0;
}
