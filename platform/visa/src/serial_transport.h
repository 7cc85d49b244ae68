// Serial ports over termios (ASRL...::INSTR): raw mode, one exclusive flock per port,
// waits with poll(). Every setting is applied to the port at once and read back from it.
#ifndef HNVISA_SERIAL_TRANSPORT_H
#define HNVISA_SERIAL_TRANSPORT_H

#include <atomic>
#include <memory>
#include <string>

#include "transport.h"

namespace hnvqr::visa {

// The operating system's handles of a port and of its wake-up: descriptors on POSIX, a
// HANDLE (and no wake-up handle) on Windows.
#ifdef _WIN32
using PortHandle = void*;
#else
using PortHandle = int;
#endif

class SerialTransport final : public Transport {
 public:
  // VI_ERROR_RSRC_NFOUND when the device does not exist or is no terminal,
  // VI_ERROR_RSRC_BUSY when another process or session holds it.
  static ViStatus open(const std::string& devicePath, std::unique_ptr<Transport>& opened);
  // The device of ASRLn::INSTR (n counts from 1).
  static std::string devicePathOfBoard(unsigned board);
  ~SerialTransport() override;

  ViStatus receive(ViByte* buffer, std::size_t capacity, std::size_t* received, const Deadline& deadline) override;
  ViStatus send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) override;
  ViStatus sendEnd(ViByte termChar, const Deadline& deadline) override;
  bool termCharIsEnd() const override { return endIn_ == VI_ASRL_END_TERMCHAR; }
  void interrupt() override;
  ViStatus getAttribute(ViAttr attribute, AttributeValue& value) const override;
  ViStatus setAttribute(ViAttr attribute, ViAttrState value) override;

 private:
  SerialTransport(PortHandle fd, PortHandle wakeFd) : fd_(fd), wakeFd_(wakeFd) {}

  // What each platform does with the port (serial_transport.cpp, serial_transport_win32.cpp);
  // END and the attributes built on these are common (serial_transport_common.cpp).
  // Applies one line setting (baud, data bits, parity, stop bits, flow control):
  // VI_ERROR_NSUP_ATTR_STATE, the old settings kept, when the port does not take it.
  ViStatus applyLineSetting(ViAttr attribute, ViAttrState value);
  // The VISA value of one line setting as the port has it.
  ViStatus readLineSetting(ViAttr attribute, ViAttrState& value) const;
  // The bytes received and not read yet.
  ViStatus bytesWaiting(ViAttrState& count) const;
  // A break on the line: END for VI_ASRL_END_BREAK.
  ViStatus sendBreak();
  // POSIX: poll() on the port and the wake-up descriptor until the port is ready for
  // `events`. VI_ERROR_CONN_LOST when it hung up or after interrupt().
  ViStatus waitFor(short events, const Deadline& deadline) const;

  const PortHandle fd_;
  const PortHandle wakeFd_;               // an eventfd: a tty cannot be shut down the way a socket can
  std::atomic<bool> interrupted_{false};  // Windows: set by interrupt(), seen between bounded waits
  ViUInt16 endIn_ = VI_ASRL_END_TERMCHAR;
  ViUInt16 endOut_ = VI_ASRL_END_NONE;
};

}  // namespace hnvqr::visa

#endif
