#include "kel/Format.h"

namespace kel {

std::string FormatMessage(std::string_view format, std::span<const MessageArg> args, std::size_t maxLength) {
  std::string out;
  out.reserve(format.size() < maxLength ? format.size() + 32 : maxLength);
  std::size_t nextArg = 0;
  auto append = [&](std::string_view piece) {
    if (out.size() < maxLength) out.append(piece.substr(0, maxLength - out.size()));
  };
  for (std::size_t i = 0; i < format.size() && out.size() < maxLength;) {
    const std::size_t percent = format.find('%', i);
    if (percent == std::string_view::npos) {
      append(format.substr(i));
      break;
    }
    append(format.substr(i, percent - i));
    if (percent + 1 >= format.size()) {
      append("%");
      break;
    }
    const char conversion = format[percent + 1];
    if (conversion == 's' || conversion == 'd') {
      if (nextArg < args.size()) append(args[nextArg++].text());
    } else if (conversion == '%') {
      append("%");
    } else {
      append(format.substr(percent, 2));
    }
    i = percent + 2;
  }
  return out;
}

}  // namespace kel
