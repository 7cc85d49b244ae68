// viFindRsrc: the resources this library can see, matched against a VISA search
// expression, and the list viFindNext walks.
#ifndef HNVISA_FIND_LIST_H
#define HNVISA_FIND_LIST_H

#include <cstddef>
#include <mutex>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "visa.h"

namespace hnvqr::visa {

// Resource names listed by the user, separated by white space, ',' or ';'. They are the
// way to make TCPIP resources (which cannot be discovered) show up in a search.
inline constexpr const char* kResourceListVariable = "HNVISA_RESOURCES";
// A file of such names, one or more a line, '#' starting a comment; when unset,
// $XDG_CONFIG_HOME/hnvisa/resources (or ~/.config/hnvisa/resources).
inline constexpr const char* kResourceFileVariable = "HNVISA_RESOURCES_FILE";

// A compiled VISA search expression: ? any one character, * and + zero-or-more and
// one-or-more of what precedes, [list] and [^list], (group), a|b, \ quoting the next
// character; everything else literal, letters matching either case. The whole name must
// match. An attribute part ("{...}") is not supported.
class ResourcePattern {
 public:
  // VI_SUCCESS, or VI_ERROR_INV_EXPR for an expression that does not compile.
  static ViStatus compile(std::string_view expression, ResourcePattern& pattern);
  bool matches(std::string_view name) const;

 private:
  std::regex regex_;  // the expression, translated to an ECMAScript regular expression
};

// Every resource found: the names of the resource list (variable and file), the serial
// ports of the system, the attached USB-TMC devices; canonical, each once, in that order.
std::vector<std::string> discoverResources();

// The names a search found, handed out one by one.
class FindList {
 public:
  explicit FindList(std::vector<std::string> names) : names_(std::move(names)) {}
  // The next name, false when all have been handed out.
  bool next(std::string& name);

 private:
  std::mutex mutex_;  // guards next_: two threads may walk one list
  const std::vector<std::string> names_;
  std::size_t next_ = 0;
};

}  // namespace hnvqr::visa

#endif
