// USB-TMC (USB[board]::vid::pid::serial[::interface]::INSTR) through the Linux kernel's
// usbtmc driver: the device node is found in sysfs, each write() is one message (EOM on
// its last transfer), each read() ends at the end of a message, time-outs are the
// driver's own (its SET_TIMEOUT ioctl).
#ifndef HNVISA_USBTMC_TRANSPORT_H
#define HNVISA_USBTMC_TRANSPORT_H

#include <memory>
#include <string>
#include <vector>

#include "transport.h"

namespace hnvqr::visa {

// Where sysfs and the device nodes are, when not /sys and /dev (tests point them at a
// tree of their own).
inline constexpr const char* kUsbSysfsRootVariable = "HNVISA_USBTMC_SYSFS_ROOT";
inline constexpr const char* kUsbDeviceDirVariable = "HNVISA_USBTMC_DEV_DIR";

struct UsbDeviceId {
  ViUInt16 vendor = 0;
  ViUInt16 product = 0;
  std::string serial;
  int interfaceNumber = -1;  // -1: the first usbtmc interface of the device
};

class UsbtmcTransport final : public Transport {
 public:
  // The /dev/usbtmcN of the device, or "" when no attached device matches.
  static std::string findDeviceNode(const UsbDeviceId& id);
  // USB[0]::vid::pid::serial::interface::INSTR of every attached device's usbtmc interface.
  static std::vector<std::string> attachedResourceNames();
  // VI_ERROR_RSRC_NFOUND when no such device is attached or its node does not open.
  static ViStatus open(const UsbDeviceId& id, std::unique_ptr<Transport>& opened);
  ~UsbtmcTransport() override;

  ViStatus receive(ViByte* buffer, std::size_t capacity, std::size_t* received, const Deadline& deadline) override;
  // Bytes wait here until sendEnd (or the next read), so a message leaves in one write()
  // and so with EOM on its end; past kMaxMessage they leave early, without EOM.
  ViStatus send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) override;
  ViStatus sendEnd(ViByte termChar, const Deadline& deadline) override;
  bool termCharIsEnd() const override { return true; }

  static constexpr std::size_t kMaxMessage = 64 * 1024;

 private:
  explicit UsbtmcTransport(int fd) : fd_(fd) {}
  ViStatus writeMessage(bool endOfMessage, const Deadline& deadline);
  // Tells the driver how long its next transfer may take; false on a node that is not a
  // usbtmc one (then waits are made with poll()).
  bool setDriverTimeout(const Deadline& deadline);

  const int fd_;
  std::vector<ViByte> held_;
  bool driverTimeouts_ = true;

 public:
  // The 488.2 functions the driver carries as USB-TMC control requests.
  ViStatus readStatusByte(ViUInt16& statusByte, const Deadline& deadline) override;
  ViStatus clearDevice(const Deadline& deadline) override;
  ViStatus triggerDevice(const Deadline& deadline) override;
};

}  // namespace hnvqr::visa

#endif
