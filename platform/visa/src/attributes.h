// The attributes this library knows: their width at the C boundary and whether they are
// read-only. viGetAttribute writes exactly the width given here.
#ifndef HNVISA_ATTRIBUTES_H
#define HNVISA_ATTRIBUTES_H

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "visa.h"

namespace hnvqr::visa {

enum class AttributeKind { UInt8, UInt16, UInt32, Boolean, Text };

struct AttributeInfo {
  ViAttr id;
  AttributeKind kind;
  bool readOnly;
};

// A value on its way to or from the C boundary: numbers in `number`, texts in `text`.
struct AttributeValue {
  ViAttrState number = 0;
  std::string text;
};

// An attribute whose value is a copy of one the object keeps: a number, or a text where
// `text` is given. A getter lists these in a small table and computes only the others.
struct PlainAttribute {
  ViAttr id;
  ViAttrState number = 0;
  std::optional<std::string_view> text;
};

// Copies the value of `id` out of `plain`: false when `id` is not among them.
bool copyPlainAttribute(ViAttr id, std::span<const PlainAttribute> plain, AttributeValue& value);

// nullptr for an attribute this library does not define.
const AttributeInfo* findAttribute(ViAttr id);

// The attributes that describe this library rather than a session (its version, the
// VISA version it follows, its maker): true, with the value, for one of them.
bool libraryAttribute(ViAttr id, AttributeValue& value);

// VI_SUCCESS when `value` fits the attribute's type (booleans must be VI_TRUE or VI_FALSE).
ViStatus checkValueFitsKind(AttributeKind kind, ViAttrState value);

// Writes the value into the caller's storage with exactly the attribute's width; texts
// are cut to fit the 256-character buffer VISA callers provide.
void storeAttributeValue(AttributeKind kind, const AttributeValue& value, void* destination);

}  // namespace hnvqr::visa

#endif
