// The one getter pattern and the one setter pattern of the instrument attributes, driven by
// the rows of the command table. The named callbacks are one-liners over these.
//
// Getter: value-pointer check -> cache scope -> in simulation the cache entry or the row's
// default; live: resolve the channel when the row says so, query, convert, status check.
// The cache scope stores the caller's variable on every path.
// Setter: cache scope -> nothing in simulation; live: expand the channel when the row says
// so, send the command (once, or once per output), status check. The cache scope stores the
// value of a set that succeeded and forgets the entry of one that failed.
//
// The patterns are bodies over the session object; the call frame (lookup, lock) is the
// named callback's (HNVQR_*_ATTRIBUTE below), or that of an export that calls a body.
#pragma once

#include <string>
#include <vector>

#include <visa.h>

#include "commands/CommandTable.h"
#include "kel/Buffers.h"
#include "kel/Cache.h"
#include "kel/DriverSession.h"
#include "kel/EnumMaps.h"
#include "kel/Errors.h"
#include "kel/Frame.h"
#include "kel/Io.h"
#include "kel/RepCaps.h"

namespace hnvqr {

// Resolves the channel name for a getter (exactly one output) when the row interprets it.
inline ViStatus ResolveGetterChannel(kel::DriverSession& session, ViConstString channelName,
                                     commands::Channel channel) {
  if (channel == commands::Channel::kIgnored) return VI_SUCCESS;
  kel::RepCapName name;
  return kel::ResolveSingleSelector(session, channelName, name);
}

// Expands the channel name for a setter; `sends` is how many times its command goes out.
inline ViStatus ExpandSetterChannel(kel::DriverSession& session, ViConstString channelName, commands::Channel channel,
                                    std::size_t& sends) {
  sends = 1;
  if (channel == commands::Channel::kIgnored) return VI_SUCCESS;
  std::vector<kel::RepCapName> outputs;
  const ViStatus resolved = kel::ResolveSelector(session, channelName, outputs, true);
  if (resolved >= 0 && channel == commands::Channel::kPerOutput) sends = outputs.size();
  return resolved;
}

template <class T>
T SimulatedRead(const kel::CacheEntry<T>* entry, bool fixed, T defaultValue) {
  return !fixed && entry != nullptr && entry->valid ? entry->value : defaultValue;
}

// The part the getters of numbers and of tokens share: the value pointer, the cache scope and
// the simulated read; `live` reads the instrument.
template <class T, class Row, class Live>
ViStatus GetCached(kel::DriverSession& session, const Row& row, T* value, Live live) {
  if (const ViStatus checked =
          kel::CheckNullPointer(session.GetSessionHandle(), row.getterName, "AttributeValue", value);
      checked < 0) {
    return checked;
  }
  kel::GetterCacheManager<T> cache(session, row.id, value);
  if (session.GetSimulate()) {
    *value = SimulatedRead(cache.entry(), row.simulationFixed, row.simulationDefault);
    return VI_SUCCESS;
  }
  return live();
}

template <class T, const commands::NumericCommand<T>& Row>
ViStatus GetNumeric(kel::DriverSession& session, ViConstString channelName, T* value) {
  return GetCached(session, Row, value, [&] {
    if (const ViStatus resolved = ResolveGetterChannel(session, channelName, Row.channel); resolved < 0) {
      return resolved;
    }
    return kel::QueryInstrument(session, Row.query, Row.responseFormat, value);
  });
}

template <class T, const commands::NumericCommand<T>& Row>
ViStatus SetNumeric(kel::DriverSession& session, ViConstString channelName, T value) {
  kel::SetterCacheManager<T> cache(session, Row.id, &value);
  if (session.GetSimulate()) return VI_SUCCESS;
  std::size_t sends = 1;
  if (const ViStatus expanded = ExpandSetterChannel(session, channelName, Row.channel, sends); expanded < 0) {
    return cache.Outcome(expanded);
  }
  for (std::size_t i = 0; i < sends; ++i) {
    if (const ViStatus written = kel::Printf(session.io(), Row.setCommand, value); written < 0) {
      return cache.Outcome(written);
    }
  }
  return cache.Outcome(session.CheckInstrumentStatus());
}

// Reads a token response and converts it with the row's map into `value`.
template <class T>
ViStatus QueryMapped(kel::DriverSession& session, kel::CommandText query,
                     kel::ScanfFormat<ViInt32*, ViChar*> responseFormat, const kel::EnumCommandMap& map, T* value) {
  ViChar response[256] = {};
  ViInt32 capacity = static_cast<ViInt32>(sizeof response);
  const ViStatus read = kel::Queryf(session.io(), query, responseFormat, &capacity, response);
  if (read < 0) return read;
  ViInt32 converted = -1;
  const ViStatus mapped = kel::ResponseToValue(&session, map, response, converted);
  *value = static_cast<T>(converted);
  if (mapped < 0) return mapped;
  return session.CheckInstrumentStatus();
}

// Sends a command whose "%s" is the map's token for `value`, `sends` times.
inline ViStatus SendMapped(kel::DriverSession& session, kel::PrintfFormat<const char*> command,
                           const kel::EnumCommandMap& map, ViInt32 value, std::size_t sends = 1) {
  std::string token;
  if (const ViStatus converted = kel::ValueToCommand(&session, map, value, token); converted < 0) return converted;
  for (std::size_t i = 0; i < sends; ++i) {
    if (const ViStatus written = kel::Printf(session.io(), command, token.c_str()); written < 0) return written;
  }
  return session.CheckInstrumentStatus();
}

template <class T, const commands::MappedCommand<T>& Row>
ViStatus GetMapped(kel::DriverSession& session, ViConstString /*channelName*/, T* value) {
  return GetCached(session, Row, value,
                   [&] { return QueryMapped(session, Row.query, Row.responseFormat, Row.map(), value); });
}

template <class T, const commands::MappedCommand<T>& Row>
ViStatus SetMapped(kel::DriverSession& session, ViConstString /*channelName*/, T value) {
  kel::SetterCacheManager<T> cache(session, Row.id, &value);
  if (session.GetSimulate()) return VI_SUCCESS;
  return cache.Outcome(SendMapped(session, Row.setCommand, Row.map(), static_cast<ViInt32>(value)));
}

template <const commands::TextCommand& Row>
ViStatus GetText(kel::DriverSession& session, ViConstString /*channelName*/, ViInt32 bufferSize, ViChar* value) {
  if (const ViStatus checked =
          kel::CheckNullPointer(session.GetSessionHandle(), Row.getterName, "AttributeValue", value);
      checked < 0) {
    return checked;
  }
  kel::GetterCacheManager<std::string> cache(session, Row.id, bufferSize, value);
  if (session.GetSimulate()) {
    kel::CopyToBuffer(Row.simulatedText, bufferSize, value);
    return VI_SUCCESS;
  }
  ViInt32 capacity = bufferSize;
  return kel::QueryInstrument(session, Row.query, "%#[^\n]%*t", &capacity, value);
}

template <class T>
using SetterBody = ViStatus (*)(kel::DriverSession&, ViConstString, T);

// A setter body in a call frame of its own: a named callback, or an export over one attribute.
template <class T>
ViStatus SetInFrame(ViSession vi, ViConstString channelName, T value, SetterBody<T> body) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) { return body(session, channelName, value); });
}

}  // namespace hnvqr

// Defines the named callbacks of a row of the command table: the call frame over the
// pattern's body. The bodies are also reachable by name (hnvqr::attribute::get_/set_<ATTR>),
// for the exports that set or read a fixed attribute inside their own frame.
#define HNVQR_GETTER_BODY(ATTR, T, PATTERN, ...)                                                                     \
  ViStatus hnvqr::attribute::get_##ATTR(kel::DriverSession& session, ViConstString channelName, T* value) {          \
    return hnvqr::PATTERN<__VA_ARGS__>(session, channelName, value);                                                 \
  }                                                                                                                  \
  ViStatus HnVQR_get_##ATTR(ViSession vi, ViConstString channelName, T* value) {                                     \
    return kel::WithSession(                                                                                         \
        vi, [&](kel::DriverSession& session) { return hnvqr::attribute::get_##ATTR(session, channelName, value); }); \
  }
#define HNVQR_SETTER_BODY(ATTR, T, PATTERN, ...)                                                           \
  ViStatus hnvqr::attribute::set_##ATTR(kel::DriverSession& session, ViConstString channelName, T value) { \
    return hnvqr::PATTERN<__VA_ARGS__>(session, channelName, value);                                       \
  }                                                                                                        \
  ViStatus HnVQR_set_##ATTR(ViSession vi, ViConstString channelName, T value) {                            \
    return hnvqr::SetInFrame<T>(vi, channelName, value, &hnvqr::attribute::set_##ATTR);                    \
  }
#define HNVQR_NUMERIC_ATTRIBUTE(ATTR, T, ROW)                     \
  HNVQR_GETTER_BODY(ATTR, T, GetNumeric, T, hnvqr::commands::ROW) \
  HNVQR_SETTER_BODY(ATTR, T, SetNumeric, T, hnvqr::commands::ROW)
#define HNVQR_NUMERIC_READ_ONLY_ATTRIBUTE(ATTR, T, ROW) HNVQR_GETTER_BODY(ATTR, T, GetNumeric, T, hnvqr::commands::ROW)
#define HNVQR_MAPPED_ATTRIBUTE(ATTR, T, ROW)                     \
  HNVQR_GETTER_BODY(ATTR, T, GetMapped, T, hnvqr::commands::ROW) \
  HNVQR_SETTER_BODY(ATTR, T, SetMapped, T, hnvqr::commands::ROW)
#define HNVQR_MAPPED_READ_ONLY_ATTRIBUTE(ATTR, T, ROW) HNVQR_GETTER_BODY(ATTR, T, GetMapped, T, hnvqr::commands::ROW)
#define HNVQR_TEXT_ATTRIBUTE(ATTR, ROW)                                                                    \
  ViStatus HnVQR_get_##ATTR(ViSession vi, ViConstString channelName, ViInt32 bufferSize, ViChar value[]) { \
    return kel::WithSession(vi, [&](kel::DriverSession& session) {                                         \
      return hnvqr::GetText<hnvqr::commands::ROW>(session, channelName, bufferSize, value);                \
    });                                                                                                    \
  }
