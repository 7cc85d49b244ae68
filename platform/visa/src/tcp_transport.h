// Raw TCP (TCPIP::host::port::SOCKET): a non-blocking socket, waits with poll().
#ifndef HNVISA_TCP_TRANSPORT_H
#define HNVISA_TCP_TRANSPORT_H

#include <memory>
#include <string>

#include "transport.h"

namespace hnvisa {

class TcpTransport final : public Transport {
 public:
  // Connects within `openTimeoutMs`. VI_ERROR_RSRC_NFOUND when the host is unknown, the
  // port refuses or nothing answers in time.
  static ViStatus connect(const std::string& host, ViUInt16 port, ViUInt32 openTimeoutMs,
                          std::unique_ptr<Transport>& connected);
  ~TcpTransport() override;

  ViStatus receive(ViByte* buffer, std::size_t capacity, std::size_t* received,
                   const Deadline& deadline) override;
  ViStatus send(const ViByte* data, std::size_t length, std::size_t* sent,
                const Deadline& deadline) override;
  void interrupt() override;
  ViStatus getAttribute(ViAttr attribute, AttributeValue& value) const override;
  ViStatus setAttribute(ViAttr attribute, ViAttrState value) override;

 private:
  TcpTransport(int fd, std::string peerAddress, ViUInt16 port);

  const int fd_;
  const std::string peerAddress_;
  const ViUInt16 port_;
};

}  // namespace hnvisa

#endif
