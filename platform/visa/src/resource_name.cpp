#include "resource_name.h"

#include <cctype>
#include <charconv>
#include <vector>

#include "serial_transport.h"

namespace hnvqr::visa {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Splits on "::", except inside brackets, where an IPv6 literal ("[fe80::1]") may have it.
std::vector<std::string_view> splitOnDoubleColon(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  bool inBrackets = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '[')
      inBrackets = true;
    else if (text[i] == ']')
      inBrackets = false;
    else if (!inBrackets && text[i] == ':' && i + 1 < text.size() && text[i + 1] == ':') {
      parts.push_back(text.substr(start, i - start));
      start = i + 2;
      ++i;
    }
  }
  parts.push_back(text.substr(start));
  return parts;
}

// A decimal number of at most `limit`; the empty text is `fallback`.
bool parseNumber(std::string_view digits, unsigned limit, unsigned fallback, unsigned& value) {
  if (digits.empty()) {
    value = fallback;
    return true;
  }
  for (char c : digits)
    if (c < '0' || c > '9') return false;
  unsigned parsed = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
  if (error != std::errc{} || end != digits.data() + digits.size() || parsed > limit) return false;
  value = parsed;
  return true;
}

// "KEYWORD[board]" at the front of the first part.
bool parseBoard(std::string_view first, std::string_view keyword, ViUInt16& board) {
  unsigned value = 0;
  if (!parseNumber(first.substr(keyword.size()), 0xFFFF, 0, value)) return false;
  board = static_cast<ViUInt16>(value);
  return true;
}

bool isPlainToken(std::string_view token) {
  if (token.empty()) return false;
  for (char c : token) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isspace(u) || std::iscntrl(u)) return false;
  }
  return true;
}

ViStatus parseTcpip(const std::vector<std::string_view>& parts, ResourceName& parsed) {
  if (!parseBoard(parts[0], "TCPIP", parsed.board)) return VI_ERROR_INV_RSRC_NAME;
  if (parts.size() < 2 || !isPlainToken(parts[1])) return VI_ERROR_INV_RSRC_NAME;
  parsed.host = std::string(parts[1]);
  const std::string prefix = "TCPIP" + std::to_string(parsed.board) + "::" + parsed.host;

  if (parts.size() == 4 && equalsIgnoringCase(parts[3], "SOCKET")) {
    unsigned port = 0;
    if (parts[2].empty() || !parseNumber(parts[2], 65535, 0, port) || port == 0) return VI_ERROR_INV_RSRC_NAME;
    parsed.kind = ResourceKind::TcpipSocket;
    parsed.port = static_cast<ViUInt16>(port);
    parsed.resourceClass = "SOCKET";
    parsed.canonical = prefix + "::" + std::to_string(port) + "::SOCKET";
    return VI_SUCCESS;
  }
  // VXI-11: host, optional LAN device name, optional INSTR.
  std::string device = "inst0";
  for (std::size_t i = 2; i < parts.size(); ++i)
    if (equalsIgnoringCase(parts[i], "SOCKET")) return VI_ERROR_INV_RSRC_NAME;  // SOCKET needs a port
  if (parts.size() == 3) {
    if (equalsIgnoringCase(parts[2], "INSTR")) {
    } else if (isPlainToken(parts[2])) {
      device = std::string(parts[2]);
    } else {
      return VI_ERROR_INV_RSRC_NAME;
    }
  } else if (parts.size() == 4) {
    if (!isPlainToken(parts[2]) || !equalsIgnoringCase(parts[3], "INSTR")) return VI_ERROR_INV_RSRC_NAME;
    device = std::string(parts[2]);
  } else if (parts.size() != 2) {
    return VI_ERROR_INV_RSRC_NAME;
  }
  parsed.kind = ResourceKind::TcpipInstr;
  parsed.lanDevice = device;
  parsed.resourceClass = "INSTR";
  parsed.canonical = prefix + "::" + device + "::INSTR";
  return VI_SUCCESS;
}

ViStatus parseSerial(const std::vector<std::string_view>& parts, ResourceName& parsed) {
  if (parts.size() > 2 || (parts.size() == 2 && !equalsIgnoringCase(parts[1], "INSTR"))) return VI_ERROR_INV_RSRC_NAME;
  parsed.kind = ResourceKind::Serial;
  parsed.resourceClass = "INSTR";
  const std::string_view rest = parts[0].substr(4);
  if (!rest.empty() && rest.front() == '/') {
    // Path form: the device path, case kept.
    if (rest.size() < 2 || !isPlainToken(rest)) return VI_ERROR_INV_RSRC_NAME;
    parsed.board = 0;
    parsed.devicePath = std::string(rest);
    parsed.canonical = "ASRL" + parsed.devicePath + "::INSTR";
    return VI_SUCCESS;
  }
  if (!parseBoard(parts[0], "ASRL", parsed.board)) return VI_ERROR_INV_RSRC_NAME;
  // Serial boards count from 1: ASRL1 is the first port (/dev/ttyS0, COM1).
  if (parsed.board > 0) parsed.devicePath = SerialTransport::devicePathOfBoard(parsed.board);
  parsed.canonical = "ASRL" + std::to_string(parsed.board) + "::INSTR";
  return VI_SUCCESS;
}

// A USB id as VISA writes it: hexadecimal with 0x, or decimal.
bool parseUsbNumber(std::string_view text, unsigned limit, unsigned& value) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const std::string_view digits = text.substr(2);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    return error == std::errc{} && end == digits.data() + digits.size() && value <= limit;
  }
  return !text.empty() && parseNumber(text, limit, 0, value);
}

std::string hex4(unsigned value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0xF];
  return text;
}

ViStatus parseUsb(const std::vector<std::string_view>& parts, ResourceName& parsed) {
  // USB[board]::manufacturer::model::serial[::interface]::INSTR|RAW
  if (!parseBoard(parts[0], "USB", parsed.board)) return VI_ERROR_INV_RSRC_NAME;
  if (parts.size() < 4 || parts.size() > 6) return VI_ERROR_INV_RSRC_NAME;
  const auto last = parts.back();
  const bool hasClass = equalsIgnoringCase(last, "INSTR") || equalsIgnoringCase(last, "RAW");
  const std::size_t fields = parts.size() - 1 - (hasClass ? 1 : 0);
  if (fields < 3 || fields > 4) return VI_ERROR_INV_RSRC_NAME;
  for (std::size_t i = 1; i <= fields; ++i)
    if (!isPlainToken(parts[i])) return VI_ERROR_INV_RSRC_NAME;
  unsigned vendor = 0, product = 0, interface = 0;
  if (!parseUsbNumber(parts[1], 0xFFFF, vendor) || !parseUsbNumber(parts[2], 0xFFFF, product))
    return VI_ERROR_INV_RSRC_NAME;
  if (fields == 4 && !parseUsbNumber(parts[4], 0xFF, interface)) return VI_ERROR_INV_RSRC_NAME;
  parsed.kind = ResourceKind::Usb;
  parsed.usbVendor = static_cast<ViUInt16>(vendor);
  parsed.usbProduct = static_cast<ViUInt16>(product);
  parsed.usbSerial = std::string(parts[3]);
  parsed.usbInterface = fields == 4 ? static_cast<int>(interface) : -1;
  parsed.resourceClass = hasClass && equalsIgnoringCase(last, "RAW") ? "RAW" : "INSTR";
  parsed.canonical = "USB" + std::to_string(parsed.board) + "::" + hex4(vendor) + "::" + hex4(product) +
                     "::" + parsed.usbSerial + (fields == 4 ? "::" + std::to_string(interface) : std::string()) +
                     "::" + parsed.resourceClass;
  return VI_SUCCESS;
}

ViStatus parseGpib(const std::vector<std::string_view>& parts, ResourceName& parsed) {
  // GPIB[board]::primary[::secondary][::INSTR]
  if (!parseBoard(parts[0], "GPIB", parsed.board)) return VI_ERROR_INV_RSRC_NAME;
  if (parts.size() < 2 || parts.size() > 4) return VI_ERROR_INV_RSRC_NAME;
  unsigned address = 0;
  if (parts[1].empty() || !parseNumber(parts[1], 30, 0, address)) return VI_ERROR_INV_RSRC_NAME;
  std::size_t next = 2;
  if (next < parts.size() && !equalsIgnoringCase(parts[next], "INSTR")) {
    unsigned secondary = 0;
    if (parts[next].empty() || !parseNumber(parts[next], 30, 0, secondary)) return VI_ERROR_INV_RSRC_NAME;
    ++next;
  }
  if (next < parts.size() && !equalsIgnoringCase(parts[next++], "INSTR")) return VI_ERROR_INV_RSRC_NAME;
  if (next != parts.size()) return VI_ERROR_INV_RSRC_NAME;
  parsed.kind = ResourceKind::Gpib;
  parsed.resourceClass = "INSTR";
  parsed.canonical = std::string(parts[0]);
  return VI_SUCCESS;
}

// REPLAY::file[::speed]::INSTR. The file is everything between the first "::" and the last
// one or two (a path with "::" of its own needs the speed written out).
ViStatus parseReplay(std::string_view text, ResourceName& parsed) {
  if (!equalsIgnoringCase(text.substr(0, 8), "REPLAY::")) return VI_ERROR_INV_RSRC_NAME;
  std::string_view rest = text.substr(8);
  const std::size_t classAt = rest.rfind("::");
  if (classAt == std::string_view::npos || !equalsIgnoringCase(rest.substr(classAt + 2), "INSTR"))
    return VI_ERROR_INV_RSRC_NAME;
  rest = rest.substr(0, classAt);
  double speed = 1.0;
  std::string speedText;
  if (const std::size_t speedAt = rest.rfind("::"); speedAt != std::string_view::npos) {
    const std::string_view digits = rest.substr(speedAt + 2);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), speed);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size() || !(speed >= 0.0) ||
        speed > 1e6)
      return VI_ERROR_INV_RSRC_NAME;
    speedText = "::" + std::string(digits);
    rest = rest.substr(0, speedAt);
  }
  if (rest.empty()) return VI_ERROR_INV_RSRC_NAME;
  for (const char c : rest)
    if (std::iscntrl(static_cast<unsigned char>(c))) return VI_ERROR_INV_RSRC_NAME;
  parsed.kind = ResourceKind::Replay;
  parsed.replayFile = std::string(rest);
  parsed.replaySpeed = speed;
  parsed.resourceClass = "INSTR";
  parsed.canonical = "REPLAY::" + parsed.replayFile + speedText + "::INSTR";
  return VI_SUCCESS;
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

}  // namespace

ViStatus parseResourceName(std::string_view text, ResourceName& parsed) {
  parsed = ResourceName{};
  text = trimBlanks(text);
  if (text.empty()) return VI_ERROR_INV_RSRC_NAME;
  const auto parts = splitOnDoubleColon(text);
  const std::string_view first = parts[0];
  if (startsWithIgnoringCase(first, "TCPIP")) return parseTcpip(parts, parsed);
  if (startsWithIgnoringCase(first, "ASRL")) return parseSerial(parts, parsed);
  if (startsWithIgnoringCase(first, "USB")) return parseUsb(parts, parsed);
  if (startsWithIgnoringCase(first, "GPIB")) return parseGpib(parts, parsed);
  if (equalsIgnoringCase(first, "REPLAY")) return parseReplay(text, parsed);
  return VI_ERROR_INV_RSRC_NAME;
}

}  // namespace hnvqr::visa
