// The callbacks of every attribute that is driven by its command-table row (KIND Numeric,
// Mapped or Text in the attribute list). Hand-written callbacks live beside their group.
#include "attributes/AttributeCallbacks.h"
#include "attributes/InstrumentAttribute.h"

#define HNVQR_DEFINE_Numeric_RW(NAME, TYPE, ROW) HNVQR_NUMERIC_ATTRIBUTE(NAME, Vi##TYPE, ROW)
#define HNVQR_DEFINE_Numeric_RO(NAME, TYPE, ROW) HNVQR_NUMERIC_READ_ONLY_ATTRIBUTE(NAME, Vi##TYPE, ROW)
#define HNVQR_DEFINE_Mapped_RW(NAME, TYPE, ROW) HNVQR_MAPPED_ATTRIBUTE(NAME, Vi##TYPE, ROW)
#define HNVQR_DEFINE_Mapped_RO(NAME, TYPE, ROW) HNVQR_MAPPED_READ_ONLY_ATTRIBUTE(NAME, Vi##TYPE, ROW)
#define HNVQR_DEFINE_Text_RO(NAME, TYPE, ROW) HNVQR_TEXT_ATTRIBUTE(NAME, ROW)
#define HNVQR_DEFINE_Custom_RW(NAME, TYPE, ROW)
#define HNVQR_DEFINE_Custom_RO(NAME, TYPE, ROW)

#define HNVQR_ATTRIBUTE(NAME, TYPE, ACCESS, KIND, ROW, VALUES, SCOPE, DESCRIPTION) \
  HNVQR_DEFINE_##KIND##_##ACCESS(NAME, TYPE, ROW)
#define HNVQR_ATTRIBUTE_SET_BY(NAME, TYPE, SETTER, SCOPE, DESCRIPTION)
#include "attributes/AttributeList.def"
#undef HNVQR_ATTRIBUTE
#undef HNVQR_ATTRIBUTE_SET_BY
