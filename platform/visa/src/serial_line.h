// The steps of a serial port's line settings that are the same on every platform, over the
// platform's own form of them (termios on POSIX, a DCB on Windows).
#ifndef HNVISA_SERIAL_LINE_H
#define HNVISA_SERIAL_LINE_H

#include "serial_transport.h"

namespace hnvqr::visa {

// How one platform reads, writes and codes the whole settings of a port.
template <typename Settings>
struct LineSettingsApi {
  bool (*read)(PortHandle port, Settings& settings);
  bool (*write)(PortHandle port, const Settings& settings);
  // The platform's form of one VISA setting, written into `settings`.
  ViStatus (*encode)(ViAttr attribute, ViAttrState value, Settings& settings);
  // The VISA value of one setting as `settings` have it.
  ViStatus (*decode)(ViAttr attribute, const Settings& settings, ViAttrState& value);
};

// Serial defaults: 9600 baud, 8 data bits, no parity, one stop bit, no flow control.
template <typename Settings>
void encodeLineDefaults(const LineSettingsApi<Settings>& api, Settings& settings) {
  api.encode(VI_ATTR_ASRL_BAUD, 9600, settings);
  api.encode(VI_ATTR_ASRL_DATA_BITS, 8, settings);
  api.encode(VI_ATTR_ASRL_PARITY, VI_ASRL_PAR_NONE, settings);
  api.encode(VI_ATTR_ASRL_STOP_BITS, VI_ASRL_STOP_ONE, settings);
  api.encode(VI_ATTR_ASRL_FLOW_CNTRL, VI_ASRL_FLOW_NONE, settings);
}

template <typename Settings>
ViStatus readPortSetting(const LineSettingsApi<Settings>& api, PortHandle port, ViAttr attribute, ViAttrState& value) {
  Settings settings{};
  return api.read(port, settings) ? api.decode(attribute, settings, value) : VI_ERROR_SYSTEM_ERROR;
}

// A port may accept new settings and keep only part of them: the setting is read back, and
// when it is not what was asked the old settings are put back.
template <typename Settings>
ViStatus applyPortSetting(const LineSettingsApi<Settings>& api, PortHandle port, ViAttr attribute, ViAttrState value) {
  Settings before{};
  if (!api.read(port, before)) return VI_ERROR_SYSTEM_ERROR;
  Settings wanted = before;
  if (const ViStatus status = api.encode(attribute, value, wanted); status < VI_SUCCESS) return status;
  if (!api.write(port, wanted)) return VI_ERROR_NSUP_ATTR_STATE;
  Settings applied{};
  ViAttrState readBack = 0;
  if (!api.read(port, applied) || api.decode(attribute, applied, readBack) < VI_SUCCESS || readBack != value) {
    api.write(port, before);
    return VI_ERROR_NSUP_ATTR_STATE;
  }
  return VI_SUCCESS;
}

}  // namespace hnvqr::visa

#endif
