// VXI-11 (TCPIP::host[::device]::INSTR): the instrument's core channel, found through
// the host's portmapper, carrying device_write and device_read calls over ONC RPC.
#ifndef HNVISA_VXI11_TRANSPORT_H
#define HNVISA_VXI11_TRANSPORT_H

#include <memory>
#include <string>
#include <vector>

#include "onc_rpc.h"
#include "transport.h"

namespace hnvqr::visa {

// Names the portmapper's port when it is not 111 (tests run their own portmapper).
inline constexpr const char* kPortmapperPortVariable = "HNVISA_VXI11_PORTMAPPER_PORT";

class Vxi11Transport final : public Transport {
 public:
  // Asks the portmapper for the core channel, connects and creates a link to `device`,
  // all within `openTimeoutMs`. VI_ERROR_RSRC_NFOUND when no VXI-11 instrument answers or
  // it has no such device, VI_ERROR_RSRC_BUSY when the device is locked by another link.
  static ViStatus connect(const std::string& host, const std::string& device, ViUInt32 openTimeoutMs,
                          std::unique_ptr<Transport>& connected);
  ~Vxi11Transport() override;  // destroys the link, briefly

  // One device_read: at most `capacity` bytes, to the end of the message at most.
  ViStatus receive(ViByte* buffer, std::size_t capacity, std::size_t* received, const Deadline& deadline) override;
  // Bytes go out in device_write calls; the last piece is held until sendEnd (which sends
  // it with the END flag) or until the next read or write, which sends it without.
  ViStatus send(const ViByte* data, std::size_t length, std::size_t* sent, const Deadline& deadline) override;
  ViStatus sendEnd(ViByte termChar, const Deadline& deadline) override;
  // The instrument ends each message with END on its terminator, which the session sees
  // as END with the termination character.
  bool termCharIsEnd() const override { return true; }
  void interrupt() override { client_->interrupt(); }

  // device_readstb, device_clear and device_trigger on the link.
  ViStatus readStatusByte(ViUInt16& statusByte, const Deadline& deadline) override;
  ViStatus clearDevice(const Deadline& deadline) override;
  ViStatus triggerDevice(const Deadline& deadline) override;

  ViStatus getAttribute(ViAttr attribute, AttributeValue& value) const override;
  ViStatus setAttribute(ViAttr attribute, ViAttrState value) override;

 private:
  Vxi11Transport(std::unique_ptr<rpc::Client> client, std::uint32_t link, std::size_t maxWrite, std::string host,
                 std::string device);
  ViStatus write(const ViByte* data, std::size_t length, bool end, const Deadline& deadline);
  ViStatus flushHeld(bool end, const Deadline& deadline);
  // One call taking Device_GenericParms; `results` is its reply after the error word.
  ViStatus genericCall(std::uint32_t procedure, const Deadline& deadline, std::vector<ViByte>& results);

  std::unique_ptr<rpc::Client> client_;
  const std::uint32_t link_;
  const std::size_t maxWrite_;  // the instrument's maxRecvSize, bounded by ours
  const std::string host_;
  const std::string device_;
  std::vector<ViByte> held_;  // written, not yet sent: the last piece, waiting for END
  bool linkLost_ = false;
};

}  // namespace hnvqr::visa

#endif
