/* A caller's own VISA calls on the session the driver opened: read the driver's I/O session
 * attribute and ask the instrument who it is. */
#include <string.h>

#include <visa.h>

#include "HnVQR.h"

ViStatus QueryIdentityThroughDriverSession(ViSession driverSession, ViChar identity[256]) {
  ViSession io = VI_NULL;
  ViStatus status = HnVQR_GetAttributeViSession(driverSession, "", HNVQR_ATTR_SYSTEM_IO_SESSION, &io);
  if (status < 0) return status;
  memset(identity, 0, 256);
  return viQueryf(io, "*IDN?\n", "%255[^\n]%*T", identity);
}
