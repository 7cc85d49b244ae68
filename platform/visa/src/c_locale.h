// Numbers on the wire always use '.' as the decimal point, whatever locale the calling
// process has chosen: conversions run under the "C" locale for the calling thread only.
#ifndef HNVISA_C_LOCALE_H
#define HNVISA_C_LOCALE_H

#include <clocale>
#include <locale.h>
#include <string>

namespace hnvqr::visa {

#ifdef _WIN32
// Windows has no uselocale: the thread is given a locale of its own for the scope, set to
// "C", and its previous locale and locale mode are restored afterwards.
class CLocaleScope {
 public:
  CLocaleScope() : previousMode_(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE)) {
    if (const char* current = std::setlocale(LC_ALL, nullptr)) previous_ = current;
    std::setlocale(LC_ALL, "C");
  }
  ~CLocaleScope() {
    if (!previous_.empty()) std::setlocale(LC_ALL, previous_.c_str());
    if (previousMode_ != -1 && previousMode_ != _ENABLE_PER_THREAD_LOCALE) _configthreadlocale(previousMode_);
  }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  int previousMode_;
  std::string previous_;
};
#else
class CLocaleScope {
 public:
  CLocaleScope() : previous_(cLocale() ? uselocale(cLocale()) : static_cast<locale_t>(nullptr)) {}
  ~CLocaleScope() {
    if (previous_) uselocale(previous_);
  }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  static locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
  }
  locale_t previous_;
};
#endif

}  // namespace hnvqr::visa

#endif
