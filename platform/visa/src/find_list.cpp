#include "find_list.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>

#include "resource_name.h"
#include "usbtmc_transport.h"

namespace hnvqr::visa {
namespace {

// Bounds on what a resource file may hold, so a wrong path (a device, a huge log) cannot
// stall a search.
constexpr std::size_t kMaxResourceFileLines = 4096;
constexpr std::size_t kMaxResourceNameLength = 256;

bool isNameSeparator(char c) { return std::isspace(static_cast<unsigned char>(c)) || c == ',' || c == ';'; }

void splitNames(std::string_view text, std::vector<std::string>& names) {
  std::size_t position = 0;
  while (position < text.size()) {
    while (position < text.size() && isNameSeparator(text[position])) ++position;
    std::size_t end = position;
    while (end < text.size() && !isNameSeparator(text[end])) ++end;
    if (end > position && end - position <= kMaxResourceNameLength)
      names.emplace_back(text.substr(position, end - position));
    position = end;
  }
}

std::string resourceFilePath() {
  if (const char* path = std::getenv(kResourceFileVariable); path != nullptr && *path != '\0') return path;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0')
    return std::string(config) + "/hnvisa/resources";
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    return std::string(home) + "/.config/hnvisa/resources";
  return {};
}

void listedResources(std::vector<std::string>& names) {
  if (const char* listed = std::getenv(kResourceListVariable); listed != nullptr) splitNames(listed, names);
  const std::string path = resourceFilePath();
  if (path.empty()) return;
  std::ifstream file(path);
  std::string line;
  for (std::size_t lines = 0; lines < kMaxResourceFileLines && std::getline(file, line); ++lines) {
    if (const std::size_t comment = line.find('#'); comment != std::string::npos) line.resize(comment);
    splitNames(line, names);
  }
}

std::string firstLineOf(const std::string& path) {
  std::ifstream file(path);
  std::string text;
  if (file) std::getline(file, text);
  return text;
}

// The serial ports the kernel knows: 8250-style ports whose UART was detected (a port
// without one reports type 0), and USB and ACM serial adapters.
void serialPorts(std::vector<std::string>& names) {
  const std::string ttyClass = "/sys/class/tty";
  std::vector<std::string> found;
  if (DIR* dir = ::opendir(ttyClass.c_str())) {
    while (const dirent* entry = ::readdir(dir)) found.emplace_back(entry->d_name);
    ::closedir(dir);
  }
  std::vector<std::pair<int, std::string>> ports;  // ttyS number, and the others by path
  for (const std::string& tty : found) {
    if (tty.rfind("ttyS", 0) == 0 && tty.size() > 4 &&
        std::all_of(tty.begin() + 4, tty.end(), [](char c) { return c >= '0' && c <= '9'; }) && tty.size() < 9) {
      const std::string type = firstLineOf(ttyClass + "/" + tty + "/type");
      if (!type.empty() && type != "0") ports.emplace_back(std::stoi(tty.substr(4)), std::string{});
    } else if (tty.rfind("ttyUSB", 0) == 0 || tty.rfind("ttyACM", 0) == 0) {
      ports.emplace_back(-1, "/dev/" + tty);
    }
  }
  std::sort(ports.begin(), ports.end());
  for (const auto& [number, path] : ports)
    names.push_back(number >= 0 ? "ASRL" + std::to_string(number + 1) + "::INSTR" : "ASRL" + path + "::INSTR");
}

}  // namespace

ViStatus ResourcePattern::compile(std::string_view expression, ResourcePattern& pattern) {
  std::string translated;
  bool inList = false;
  for (std::size_t i = 0; i < expression.size(); ++i) {
    const char c = expression[i];
    const bool alnum = std::isalnum(static_cast<unsigned char>(c)) != 0;
    if (c == '\\') {
      if (++i == expression.size()) return VI_ERROR_INV_EXPR;
      const char quoted = expression[i];
      if (!std::isalnum(static_cast<unsigned char>(quoted))) translated += '\\';
      translated += quoted;
    } else if (inList) {
      if (c == ']') inList = false;
      if (c == '[') translated += '\\';
      translated += c;
    } else if (c == '[') {
      inList = true;
      translated += c;
      if (i + 1 < expression.size() && expression[i + 1] == '^') translated += expression[++i];
    } else if (c == '?') {
      translated += '.';
    } else if (c == '*' || c == '+' || c == '(' || c == ')' || c == '|' || alnum) {
      translated += c;
    } else if (c == '{') {
      return VI_ERROR_INV_EXPR;  // an attribute expression
    } else {
      translated += '\\';
      translated += c;
    }
  }
  if (inList || expression.empty()) return VI_ERROR_INV_EXPR;
  try {
    pattern.regex_ = std::regex(translated, std::regex::ECMAScript | std::regex::icase | std::regex::nosubs);
  } catch (const std::regex_error&) {
    return VI_ERROR_INV_EXPR;
  }
  return VI_SUCCESS;
}

bool ResourcePattern::matches(std::string_view name) const {
  return std::regex_match(name.begin(), name.end(), regex_);
}

std::vector<std::string> discoverResources() {
  std::vector<std::string> candidates;
  listedResources(candidates);
  serialPorts(candidates);
  for (std::string& name : UsbtmcTransport::attachedResourceNames()) candidates.push_back(std::move(name));
  std::vector<std::string> resources;
  std::set<std::string> seen;
  for (const std::string& candidate : candidates) {
    ResourceName parsed;
    if (parseResourceName(candidate, parsed) < VI_SUCCESS) continue;
    if (seen.insert(parsed.canonical).second) resources.push_back(parsed.canonical);
  }
  return resources;
}

bool FindList::next(std::string& name) {
  const std::lock_guard guard(mutex_);
  if (next_ >= names_.size()) return false;
  name = names_[next_++];
  return true;
}

}  // namespace hnvqr::visa
