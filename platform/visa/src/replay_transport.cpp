#include "replay_transport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

#include <nlohmann/json.hpp>

#include "trace_bytes.h"
#include "trace_line.h"

namespace hnvqr::visa {
namespace {

using nlohmann::json;

// A trace's strings stand for bytes, one code point each (0 to 255); JSON hands them back
// as UTF-8.
std::string bytesOf(const json& value) {
  if (!value.is_string()) return {};
  return hnvqr::trace::bytesFromTraceText(value.get_ref<const std::string&>());
}

bool isExchange(const std::string& operation) {
  return operation == "write" || operation == "read" || operation == "query" || operation == "flush" ||
         operation == "read_stb" || operation == "clear" || operation == "trigger";
}

// A few bytes around `at` of `bytes`, escaped, for a message.
std::string excerpt(const std::string& bytes, std::size_t at) {
  const std::size_t begin = at > 16 ? at - 16 : 0;
  std::string line;
  hnvqr::trace::appendJsonString(line, std::string_view(bytes).substr(begin, 40));
  return (begin > 0 ? "..." : "") + line;
}

std::string byteText(const std::string& bytes, std::size_t at) {
  if (at >= bytes.size()) return "nothing";
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned char>(bytes[at]));
  return text;
}

}  // namespace

ViStatus ReplayTransport::open(const std::string& file, double speed, std::unique_ptr<Transport>& transport) {
  std::ifstream input(file);
  if (!input) return VI_ERROR_RSRC_NFOUND;
  std::vector<Exchange> exchanges;
  long long session = -1;
  ResourceKind kind = ResourceKind::TcpipSocket;
  std::string text;
  for (std::size_t line = 1; std::getline(input, text); ++line) {
    const json event = json::parse(text, nullptr, false);
    if (!event.is_object() || !event.contains("op") || !event["op"].is_string()) continue;
    const std::string operation = event["op"].get<std::string>();
    const long long handle = event.value("session", -1LL);
    if (operation == "open" && session < 0 && event.value("status", -1LL) >= 0 && handle >= 0) {
      session = handle;
      ResourceName recorded;
      if (parseResourceName(event.value("resource", std::string()), recorded) >= VI_SUCCESS) kind = recorded.kind;
      continue;
    }
    if (!isExchange(operation)) continue;
    if (session < 0) session = handle;  // a trace without its open: the first session seen
    if (handle != session) continue;
    Exchange exchange;
    exchange.line = line;
    exchange.sent = bytesOf(event.value("bytes", json()));
    exchange.reply = bytesOf(event.value("reply", json()));
    exchange.early = std::min<std::size_t>(event.value("early", 0ULL), exchange.reply.size());
    exchange.status = static_cast<ViStatus>(event.value("status", 0LL));
    exchange.seconds = event.value("dur", 0.0);
    exchanges.push_back(std::move(exchange));
  }
  if (session < 0) return VI_ERROR_RSRC_NFOUND;
  if (kind == ResourceKind::Replay) kind = ResourceKind::TcpipSocket;  // a replay of a replay stands for a socket
  transport.reset(new ReplayTransport(file, speed, kind, std::move(exchanges)));
  return VI_SUCCESS;
}

ViStatus ReplayTransport::fail(std::string description) {
  {
    const std::lock_guard lock(failureMutex_);
    lastFailure_ = std::move(description);
  }
  return VI_ERROR_IO;
}

bool ReplayTransport::describeFailure(ViStatus status, std::string& text) const {
  if (status != VI_ERROR_IO) return false;
  const std::lock_guard lock(failureMutex_);
  if (lastFailure_.empty()) return false;
  text = lastFailure_;
  return true;
}

void ReplayTransport::interrupt() {
  {
    const std::lock_guard lock(waitMutex_);
    interrupted_ = true;
  }
  wake_.notify_all();
}

void ReplayTransport::waitRecordedTime(const Deadline& deadline) {
  if (waited_) return;
  waited_ = true;
  const Exchange* exchange = current();
  if (exchange == nullptr || speed_ <= 0.0 || exchange->seconds <= 0.0) return;
  auto wait = std::chrono::duration<double>(exchange->seconds * speed_);
  if (!deadline.infinite()) wait = std::min(wait, std::chrono::duration<double>(deadline.millisecondsLeft() / 1000.0));
  std::unique_lock lock(waitMutex_);
  wake_.wait_for(lock, wait, [&] { return interrupted_; });
}

ViStatus ReplayTransport::send(const ViByte* data, std::size_t length, std::size_t* sent,
                               const Deadline& /*deadline*/) {
  *sent = 0;
  const std::string written(reinterpret_cast<const char*>(data), length);
  // A write begins the next exchange once the current one has all of its own.
  Exchange* exchange = current();
  if (exchange != nullptr && sentMatched_ >= exchange->sent.size() && (sentMatched_ > 0 || exchange->sent.empty())) {
    ++next_;
    sentMatched_ = delivered_ = 0;
    waited_ = failureDelivered_ = false;
    // Exchanges that wrote nothing (reads) have no place before a write: skip them.
    while ((exchange = current()) != nullptr && exchange->sent.empty()) ++next_;
  }
  if (exchange == nullptr) {
    return fail("The replay of '" + file_ + "' has no more writes recorded, but the session wrote " +
                excerpt(written, 0) + ".");
  }
  const std::string& expected = exchange->sent;
  for (std::size_t i = 0; i < length; ++i) {
    const std::size_t at = sentMatched_ + i;
    if (at >= expected.size() || expected[at] != written[i]) {
      return fail("Replay of '" + file_ + "': byte " + std::to_string(at) + " of the write differs from line " +
                  std::to_string(exchange->line) + " of the trace: recorded " + byteText(expected, at) + ", written " +
                  byteText(written, i) + "; recorded " + excerpt(expected, at) + ", written " + excerpt(written, i) +
                  ".");
    }
  }
  sentMatched_ += length;
  *sent = length;
  // A write that failed when it was recorded fails again once all of it is in.
  if (sentMatched_ == expected.size() && exchange->reply.empty() && exchange->status < VI_SUCCESS &&
      exchange->status != VI_ERROR_TMO && !failureDelivered_) {
    failureDelivered_ = true;
    return exchange->status;
  }
  return VI_SUCCESS;
}

ViStatus ReplayTransport::receive(ViByte* buffer, std::size_t capacity, std::size_t* received,
                                  const Deadline& deadline) {
  *received = 0;
  for (;;) {
    Exchange* exchange = current();
    if (exchange == nullptr) return VI_ERROR_TMO;  // the recording has ended: the instrument is silent
    // Before its bytes are all written, only what came before any of them can arrive.
    const std::size_t available = sentMatched_ < exchange->sent.size()
                                      ? (sentMatched_ == 0 ? exchange->early : std::size_t{0})
                                      : exchange->reply.size();
    if (delivered_ < available) {
      waitRecordedTime(deadline);
      const std::size_t count = std::min(capacity, available - delivered_);
      std::copy_n(exchange->reply.data() + delivered_, count, buffer);
      delivered_ += count;
      *received = count;
      return VI_SUCCESS;
    }
    if (sentMatched_ < exchange->sent.size()) return VI_ERROR_TMO;  // nothing comes until it is written
    if (exchange->status < VI_SUCCESS && !failureDelivered_) {
      waitRecordedTime(deadline);
      failureDelivered_ = true;
      return exchange->status == VI_ERROR_TMO || exchange->status == VI_ERROR_CONN_LOST ? exchange->status
                                                                                        : VI_ERROR_TMO;
    }
    // This exchange is spent: a read that follows is the next one if it writes nothing, or
    // if what it received came before it wrote (a late reply to this one, drained first).
    const std::size_t following = next_ + 1;
    if (following >= exchanges_.size() || (!exchanges_[following].sent.empty() && exchanges_[following].early == 0))
      return VI_ERROR_TMO;
    next_ = following;
    sentMatched_ = delivered_ = 0;
    waited_ = failureDelivered_ = false;
  }
}

}  // namespace hnvqr::visa
