// ONC RPC over a TCP stream (record marking) with XDR encoding, enough for a client of the
// portmapper and of a VXI-11 instrument. Every record read is bounded, and a call never
// waits past its deadline, however slowly the peer sends.
#ifndef HNVISA_ONC_RPC_H
#define HNVISA_ONC_RPC_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "deadline.h"
#include "transport.h"

namespace hnvqr::visa::rpc {

// Appends XDR items to a byte vector.
class XdrWriter {
 public:
  void u32(std::uint32_t value);
  void opaque(std::string_view bytes);  // variable-length opaque or string: length, bytes, padding
  const std::vector<ViByte>& bytes() const { return bytes_; }

 private:
  std::vector<ViByte> bytes_;
};

// Reads XDR items from a byte range; a read past the end, or an opaque longer than its
// bound, turns the reader bad and yields zeros.
class XdrReader {
 public:
  XdrReader(const ViByte* data, std::size_t size) : data_(data), size_(size) {}
  std::uint32_t u32();
  // The opaque's bytes (pointing into the record) when its length is at most maxLength.
  std::string_view opaque(std::size_t maxLength);
  bool good() const { return good_; }
  std::size_t position() const { return position_; }

 private:
  const ViByte* data_;
  std::size_t size_;
  std::size_t position_ = 0;
  bool good_ = true;
};

// A client of one RPC program over one stream. Calls are made one at a time (the owner
// serialises them); a reply that arrives after its call timed out is read and dropped
// by the next call, so the stream stays in step.
class Client {
 public:
  // Largest reply record accepted; a peer announcing more has broken the protocol.
  static constexpr std::size_t kMaxReplyRecord = 64 * 1024 + 512;

  Client(std::unique_ptr<Transport> stream, std::uint32_t program, std::uint32_t version);

  // Sends the call and waits, until the deadline, for its reply; *results then holds the
  // procedure's result bytes. VI_ERROR_TMO, VI_ERROR_CONN_LOST, or VI_ERROR_IO for a
  // reply that breaks the protocol (after which the link is not usable).
  ViStatus call(std::uint32_t procedure, const XdrWriter& arguments, std::vector<ViByte>& results,
                const Deadline& deadline);
  void interrupt() { stream_->interrupt(); }
  Transport& stream() { return *stream_; }

 private:
  // Reads one whole record into record_, resuming a record left half-read by a time-out.
  ViStatus receiveRecord(const Deadline& deadline);

  std::unique_ptr<Transport> stream_;
  const std::uint32_t program_;
  const std::uint32_t version_;
  std::uint32_t nextXid_;
  bool broken_ = false;

  // Bytes received and not yet parsed; at most one receive chunk.
  std::vector<ViByte> input_;
  std::size_t inputPosition_ = 0;
  // Reassembly of the record being received, kept across a time-out.
  std::vector<ViByte> record_;
  bool recordComplete_ = false;
  ViByte header_[4] = {};
  std::size_t headerBytes_ = 0;   // of the current fragment header
  std::size_t fragmentLeft_ = 0;  // bytes of the current fragment still to come
  bool inFragment_ = false;
  bool lastFragment_ = false;
};

}  // namespace hnvqr::visa::rpc

#endif
