// The exported vi* functions: look the object up, serialise on its I/O lock, call the
// session, and never let a C++ exception out.
#include <cstring>
#include <new>
#include <string>

#include "api_frame.h"
#include "resource_name.h"
#include "serial_transport.h"
#include "session_table.h"
#include "status_text.h"
#include "tcp_transport.h"
#include "hnvisa_trace.h"
#include "replay_transport.h"
#include "trace_line.h"
#include "trace_registry.h"
#include "usbtmc_transport.h"
#include "vxi11_transport.h"
#include "visa.h"

namespace hnvqr::visa {
namespace {

ViStatus openTransport(const ResourceName& name, ViUInt32 openTimeout, std::unique_ptr<Transport>& transport) {
  switch (name.kind) {
    case ResourceKind::TcpipSocket:
      return TcpTransport::connect(name.host, name.port, openTimeout, transport);
    case ResourceKind::Serial:
      if (name.devicePath.empty()) return VI_ERROR_INTF_NUM_NCONFIG;  // ASRL0: boards count from 1
      return SerialTransport::open(name.devicePath, transport);
    case ResourceKind::TcpipInstr:
      return Vxi11Transport::connect(name.host, name.lanDevice, openTimeout, transport);
    case ResourceKind::Usb:
      // RAW (the device's bulk pipes without USB-TMC framing) has no transport here.
      if (name.resourceClass != "INSTR") return VI_ERROR_LIBRARY_NFOUND;
      return UsbtmcTransport::open(UsbDeviceId{name.usbVendor, name.usbProduct, name.usbSerial, name.usbInterface},
                                   transport);
    case ResourceKind::Gpib:
      return VI_ERROR_LIBRARY_NFOUND;
    case ResourceKind::Replay:
      return ReplayTransport::open(name.replayFile, name.replaySpeed, transport);
  }
  return VI_ERROR_LIBRARY_NFOUND;
}

// An open that failed, into the process trace (a session's own trace does not exist yet).
void recordFailedOpen(const char* resource, std::int64_t started, ViStatus status) {
  std::string reason;
  const auto writer =
      hnvqr::trace::TraceRegistry::instance().writer(hnvqr::trace::TraceRegistry::instance().environmentTrace(reason));
  if (!writer) return;
  const HnvisaTraceField fields[] = {{"op", HNVISA_TRACE_TEXT, "open", 0, 0, 0.0},
                                     {"resource", HNVISA_TRACE_TEXT, resource, 0, 0, 0.0},
                                     {"status", HNVISA_TRACE_INTEGER, nullptr, 0, status, 0.0}};
  hnvqr::trace::record(writer.get(), started, fields);
}

}  // namespace
}  // namespace hnvqr::visa

using hnvqr::visa::ArgList;
using hnvqr::visa::Session;
using hnvqr::visa::SessionTable;

extern "C" {

ViStatus _VI_FUNC viOpenDefaultRM(ViPSession vi) {
  if (vi == nullptr) return VI_ERROR_USER_BUF;
  *vi = VI_NULL;
  return hnvqr::visa::guarded([&] {
    *vi = SessionTable::instance().addResourceManager();
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViPSession vi) {
  if (vi == nullptr) return VI_ERROR_USER_BUF;
  *vi = VI_NULL;
  const std::int64_t started = hnvqr::trace::monotonicNow();
  const ViStatus opened = hnvqr::visa::guarded([&]() -> ViStatus {
    SessionTable& table = SessionTable::instance();
    if (!table.isResourceManager(sesn)) return table.findInstrument(sesn) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    constexpr ViAccessMode kKnownModes = VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK | VI_LOAD_CONFIG;
    if ((mode & ~kKnownModes) != 0 || ((mode & VI_EXCLUSIVE_LOCK) && (mode & VI_SHARED_LOCK)))
      return VI_ERROR_INV_ACC_MODE;
    if (name == nullptr) return VI_ERROR_INV_RSRC_NAME;
    hnvqr::visa::ResourceName parsed;
    if (const ViStatus status = hnvqr::visa::parseResourceName(name, parsed); status < VI_SUCCESS) return status;
    std::unique_ptr<hnvqr::visa::Transport> transport;
    if (const ViStatus status = hnvqr::visa::openTransport(parsed, timeout, transport); status < VI_SUCCESS)
      return status;
    // A replay behaves as the kind of resource it recorded.
    const hnvqr::visa::ResourceKind kind = parsed.kind == hnvqr::visa::ResourceKind::Replay
                                               ? static_cast<hnvqr::visa::ReplayTransport&>(*transport).recordedKind()
                                               : parsed.kind;
    hnvqr::visa::SessionIdentity identity{parsed.canonical, parsed.resourceClass, hnvqr::visa::interfaceTypeOf(kind),
                                          parsed.board};
    auto session = std::make_shared<Session>(std::move(transport), std::move(identity));
    // VXI-11 and USB-TMC carry END on the wire, so a read ends with the instrument's message.
    if (kind == hnvqr::visa::ResourceKind::TcpipInstr || kind == hnvqr::visa::ResourceKind::Usb)
      session->setAttribute(VI_ATTR_SUPPRESS_END_EN, VI_FALSE);
    ViSession handle = VI_NULL;
    const std::shared_ptr<Session> added = session;
    if (const ViStatus status = table.addInstrument(sesn, std::move(session), handle); status < VI_SUCCESS)
      return status;
    added->noteOpened(handle, started, hnvqr::trace::monotonicNow());
    // A lock asked for at open is waited for within the open time-out; a session that
    // cannot have it is not handed out.
    if (mode & (VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK)) {
      std::string key;
      const ViStatus status = hnvqr::visa::LockTable::instance().lock(
          parsed.canonical, handle, mode & VI_EXCLUSIVE_LOCK ? VI_EXCLUSIVE_LOCK : VI_SHARED_LOCK, timeout, nullptr,
          key, [&] { return table.findInstrument(handle) != nullptr; });
      if (status < VI_SUCCESS) {
        table.close(handle);
        return status;
      }
    }
    *vi = handle;
    return VI_SUCCESS;
  });
  if (opened < VI_SUCCESS && name != nullptr && hnvqr::trace::TraceRegistry::instance().active())
    hnvqr::visa::guarded([&] {
      hnvqr::visa::recordFailedOpen(name, started, opened);
      return VI_SUCCESS;
    });
  return opened;
}

ViStatus _VI_FUNC viClose(ViObject vi) {
  return hnvqr::visa::guarded([&] { return SessionTable::instance().close(vi); });
}

ViStatus _VI_FUNC viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue) {
  return hnvqr::visa::withInstrument(
      vi,
      [&](Session& session) -> ViStatus {
        if (attrName == HNVISA_ATTR_TRACE) return session.attachTrace(static_cast<HnvisaTrace>(attrValue));
        const std::int64_t started = Session::traceClock();
        hnvqr::visa::AttributeValue constant;
        ViStatus status = VI_ERROR_ATTR_READONLY;
        if (attrName != VI_ATTR_RSRC_LOCK_STATE && !hnvqr::visa::libraryAttribute(attrName, constant))
          status = session.setAttribute(attrName, attrValue);
        session.recordAttribute(started, attrName, attrValue, status);
        return status;
      },
      VI_ERROR_NSUP_ATTR);
}

ViStatus _VI_FUNC viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue) {
  return hnvqr::visa::withInstrument(
      vi,
      [&](Session& session) -> ViStatus {
        const hnvqr::visa::AttributeInfo* info = hnvqr::visa::findAttribute(attrName);
        if (info == nullptr) return VI_ERROR_NSUP_ATTR;
        if (attrValue == nullptr) return VI_ERROR_USER_BUF;
        hnvqr::visa::AttributeValue value;
        ViStatus status = VI_SUCCESS;
        if (attrName == VI_ATTR_RSRC_LOCK_STATE)
          value.number = hnvqr::visa::LockTable::instance().state(session.identity().resourceName);
        else if (!hnvqr::visa::libraryAttribute(attrName, value))
          status = session.getAttribute(attrName, value);
        if (status < VI_SUCCESS) return status;
        hnvqr::visa::storeAttributeValue(info->kind, value, attrValue);
        return status;
      },
      VI_ERROR_NSUP_ATTR);
}

ViStatus _VI_FUNC viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]) {
  if (desc == nullptr) return VI_ERROR_USER_BUF;
  desc[0] = '\0';
  return hnvqr::visa::guarded([&] {
    std::string text;
    // A session that knows more about its last failure (a replay that differed) says so.
    const std::shared_ptr<Session> session = SessionTable::instance().findInstrument(vi);
    if (!session || !session->describeFailure(status, text)) hnvqr::visa::describeStatus(status, text);
    hnvqr::visa::copyToVisaString(text, desc);
    return VI_SUCCESS;
  });
}

ViStatus _VI_FUNC viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
  if (retCnt != nullptr) *retCnt = 0;
  return hnvqr::visa::withTracedInstrument(vi, "read",
                                           [&](Session& session) { return session.read(buf, cnt, retCnt); });
}

ViStatus _VI_FUNC viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
  if (retCnt != nullptr) *retCnt = 0;
  return hnvqr::visa::withTracedInstrument(vi, "write",
                                           [&](Session& session) { return session.write(buf, cnt, retCnt); });
}

ViStatus _VI_FUNC viFlush(ViSession vi, ViUInt16 mask) {
  return hnvqr::visa::withTracedInstrument(vi, "flush", [&](Session& session) { return session.flush(mask); });
}

ViStatus _VI_FUNC viVPrintf(ViSession vi, ViConstString writeFmt, va_list params) {
  return hnvqr::visa::withTracedInstrument(vi, "write", [&](Session& session) {
    ArgList arguments(params);
    return session.printf(writeFmt, arguments);
  });
}

ViStatus _VI_FUNCC viPrintf(ViSession vi, ViConstString writeFmt, ...) {
  va_list params;
  va_start(params, writeFmt);
  const ViStatus status = viVPrintf(vi, writeFmt, params);
  va_end(params);
  return status;
}

ViStatus _VI_FUNC viVScanf(ViSession vi, ViConstString readFmt, va_list params) {
  return hnvqr::visa::withTracedInstrument(vi, "read", [&](Session& session) {
    ArgList arguments(params);
    return session.scanf(readFmt, arguments);
  });
}

ViStatus _VI_FUNCC viScanf(ViSession vi, ViConstString readFmt, ...) {
  va_list params;
  va_start(params, readFmt);
  const ViStatus status = viVScanf(vi, readFmt, params);
  va_end(params);
  return status;
}

ViStatus _VI_FUNC viVQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, va_list params) {
  return hnvqr::visa::withTracedInstrument(vi, "query", [&](Session& session) {
    ArgList arguments(params);
    return session.queryf(writeFmt, readFmt, arguments);
  });
}

ViStatus _VI_FUNCC viQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...) {
  va_list params;
  va_start(params, readFmt);
  const ViStatus status = viVQueryf(vi, writeFmt, readFmt, params);
  va_end(params);
  return status;
}

}  // extern "C"
