// Numbers on the wire always use '.' as the decimal point, whatever locale the calling
// process has chosen: conversions run under the "C" locale for the calling thread only.
#ifndef HNVISA_C_LOCALE_H
#define HNVISA_C_LOCALE_H

#include <clocale>
#include <locale.h>

namespace hnvisa {

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

}  // namespace hnvisa

#endif
