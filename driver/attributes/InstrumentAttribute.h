// The one getter pattern and the one setter pattern of the instrument attributes, driven by
// the rows of the command table. The named callbacks are one-liners over these.
//
// Getter: frame (lookup, lock) -> value-pointer check -> cache scope -> in simulation the
// cache entry or the row's default; live: resolve the channel when the row says so, query,
// convert, status check. The cache scope stores the caller's variable on every path.
// Setter: frame -> cache scope -> nothing in simulation; live: expand the channel when the
// row says so, send the command (once, or once per output), status check. The cache scope
// stores the value of a set that succeeded and forgets the entry of one that failed.
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
inline ViStatus ResolveGetterChannel(ViSession vi, ViConstString channelName, commands::Channel channel) {
  if (channel == commands::Channel::kIgnored) return VI_SUCCESS;
  kel::RepCapName name;
  return kel::ResolveSingleSelector(vi, channelName, name);
}

// Expands the channel name for a setter; `sends` is how many times its command goes out.
inline ViStatus ExpandSetterChannel(ViSession vi, ViConstString channelName, commands::Channel channel,
                                    std::size_t& sends) {
  sends = 1;
  if (channel == commands::Channel::kIgnored) return VI_SUCCESS;
  std::vector<kel::RepCapName> outputs;
  const ViStatus resolved = kel::ResolveSelector(vi, channelName, outputs, true);
  if (resolved >= 0 && channel == commands::Channel::kPerOutput) sends = outputs.size();
  return resolved;
}

template <class T>
T SimulatedRead(const kel::CacheEntry<T>* entry, bool fixed, T defaultValue) {
  return !fixed && entry != nullptr && entry->valid ? entry->value : defaultValue;
}

template <class T, const commands::NumericCommand<T>& Row>
ViStatus GetNumeric(ViSession vi, ViConstString channelName, T* value) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, Row.getterName, "AttributeValue", value); checked < 0) {
      return checked;
    }
    kel::GetterCacheManager<T> cache(vi, Row.id, value);
    if (session.GetSimulate()) {
      *value = SimulatedRead(cache.entry(), Row.simulationFixed, Row.simulationDefault);
      return VI_SUCCESS;
    }
    if (const ViStatus resolved = ResolveGetterChannel(vi, channelName, Row.channel); resolved < 0) return resolved;
    return kel::QueryInstrument(session, Row.query, Row.responseFormat, value);
  });
}

template <class T, const commands::NumericCommand<T>& Row>
ViStatus SetNumeric(ViSession vi, ViConstString channelName, T value) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    kel::SetterCacheManager<T> cache(vi, Row.id, &value);
    if (session.GetSimulate()) return VI_SUCCESS;
    std::size_t sends = 1;
    if (const ViStatus expanded = ExpandSetterChannel(vi, channelName, Row.channel, sends); expanded < 0) {
      return cache.Outcome(expanded);
    }
    for (std::size_t i = 0; i < sends; ++i) {
      if (const ViStatus written = viPrintf(session.io, Row.setCommand, value); written < 0) {
        return cache.Outcome(written);
      }
    }
    return cache.Outcome(session.CheckInstrumentStatus());
  });
}

// Reads a token response and converts it with the row's map into `value`.
template <class T>
ViStatus QueryMapped(kel::DriverSession& session, ViSession vi, const char* query, const char* responseFormat,
                     const kel::EnumCommandMap& map, T* value) {
  ViChar response[256] = {};
  ViInt32 capacity = static_cast<ViInt32>(sizeof response);
  const ViStatus read = viQueryf(session.io, query, responseFormat, &capacity, response);
  if (read < 0) return read;
  ViInt32 converted = -1;
  const ViStatus mapped = kel::ResponseToValue(vi, map, response, converted);
  *value = static_cast<T>(converted);
  if (mapped < 0) return mapped;
  return session.CheckInstrumentStatus();
}

// Sends a command whose "%s" is the map's token for `value`, `sends` times.
inline ViStatus SendMapped(kel::DriverSession& session, ViSession vi, const char* command,
                           const kel::EnumCommandMap& map, ViInt32 value, std::size_t sends = 1) {
  std::string token;
  if (const ViStatus converted = kel::ValueToCommand(vi, map, value, token); converted < 0) return converted;
  for (std::size_t i = 0; i < sends; ++i) {
    if (const ViStatus written = viPrintf(session.io, command, token.c_str()); written < 0) return written;
  }
  return session.CheckInstrumentStatus();
}

template <class T, const commands::MappedCommand<T>& Row>
ViStatus GetMapped(ViSession vi, ViConstString /*channelName*/, T* value) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, Row.getterName, "AttributeValue", value); checked < 0) {
      return checked;
    }
    kel::GetterCacheManager<T> cache(vi, Row.id, value);
    if (session.GetSimulate()) {
      *value = SimulatedRead(cache.entry(), Row.simulationFixed, Row.simulationDefault);
      return VI_SUCCESS;
    }
    return QueryMapped(session, vi, Row.query, Row.responseFormat, Row.map(), value);
  });
}

template <class T, const commands::MappedCommand<T>& Row>
ViStatus SetMapped(ViSession vi, ViConstString /*channelName*/, T value) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    kel::SetterCacheManager<T> cache(vi, Row.id, &value);
    if (session.GetSimulate()) return VI_SUCCESS;
    return cache.Outcome(SendMapped(session, vi, Row.setCommand, Row.map(), static_cast<ViInt32>(value)));
  });
}

template <const commands::TextCommand& Row>
ViStatus GetText(ViSession vi, ViConstString /*channelName*/, ViInt32 bufferSize, ViChar* value) {
  return kel::WithSession(vi, [&](kel::DriverSession& session) {
    if (const ViStatus checked = kel::CheckNullPointer(vi, Row.getterName, "AttributeValue", value); checked < 0) {
      return checked;
    }
    kel::GetterCacheManager<std::string> cache(vi, Row.id, bufferSize, value);
    if (session.GetSimulate()) {
      kel::CopyToBuffer(Row.simulatedText, bufferSize, value);
      return VI_SUCCESS;
    }
    ViInt32 capacity = bufferSize;
    return kel::QueryInstrument(session, Row.query, "%#[^\n]%*t", &capacity, value);
  });
}

}  // namespace hnvqr

// Defines the named callbacks of a row of the command table.
#define HNVQR_NUMERIC_ATTRIBUTE(ATTR, T, ROW)                                                           \
  ViStatus HnVQR_get_##ATTR(ViSession vi, ViConstString channelName, T* value) {                        \
    return hnvqr::GetNumeric<T, hnvqr::commands::ROW>(vi, channelName, value);                          \
  }                                                                                                     \
  ViStatus HnVQR_set_##ATTR(ViSession vi, ViConstString channelName, T value) {                         \
    return hnvqr::SetNumeric<T, hnvqr::commands::ROW>(vi, channelName, value);                          \
  }
#define HNVQR_NUMERIC_READ_ONLY_ATTRIBUTE(ATTR, T, ROW)                                                 \
  ViStatus HnVQR_get_##ATTR(ViSession vi, ViConstString channelName, T* value) {                        \
    return hnvqr::GetNumeric<T, hnvqr::commands::ROW>(vi, channelName, value);                          \
  }
#define HNVQR_MAPPED_ATTRIBUTE(ATTR, T, ROW)                                                            \
  ViStatus HnVQR_get_##ATTR(ViSession vi, ViConstString channelName, T* value) {                        \
    return hnvqr::GetMapped<T, hnvqr::commands::ROW>(vi, channelName, value);                           \
  }                                                                                                     \
  ViStatus HnVQR_set_##ATTR(ViSession vi, ViConstString channelName, T value) {                         \
    return hnvqr::SetMapped<T, hnvqr::commands::ROW>(vi, channelName, value);                           \
  }
#define HNVQR_MAPPED_READ_ONLY_ATTRIBUTE(ATTR, T, ROW)                                                  \
  ViStatus HnVQR_get_##ATTR(ViSession vi, ViConstString channelName, T* value) {                        \
    return hnvqr::GetMapped<T, hnvqr::commands::ROW>(vi, channelName, value);                           \
  }
#define HNVQR_TEXT_ATTRIBUTE(ATTR, ROW)                                                                 \
  ViStatus HnVQR_get_##ATTR(ViSession vi, ViConstString channelName, ViInt32 bufferSize, ViChar value[]) { \
    return hnvqr::GetText<hnvqr::commands::ROW>(vi, channelName, bufferSize, value);                    \
  }
