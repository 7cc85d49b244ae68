// The attribute registry: for each attribute ID its macro name, its value type and the two
// callbacks that read and write it. Built once when the library loads; read-only afterwards,
// so lookups take no lock.
#pragma once

#include <span>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include <visatype.h>

namespace kel {

// The five value types of IVI-C attributes. String attributes are named by this tag.
struct StringValue {};

// The IVI-C name of a scalar value type.
template <class T>
consteval std::string_view ScalarTypeName() {
  if constexpr (std::is_same_v<T, ViInt32>) {
    return "ViInt32";
  } else if constexpr (std::is_same_v<T, ViReal64>) {
    return "ViReal64";
  } else if constexpr (std::is_same_v<T, ViBoolean>) {
    return "ViBoolean";
  } else {
    static_assert(std::is_same_v<T, ViSession>, "not an attribute value type");
    return "ViSession";
  }
}

// A scalar attribute's type name and callback types; strings have their own below.
template <class T>
struct AttributeValueTraits {
  static constexpr std::string_view kTypeName = ScalarTypeName<T>();
  using Getter = ViStatus (*)(ViSession, ViConstString, T*);
  using Setter = ViStatus (*)(ViSession, ViConstString, T);
};
template <>
struct AttributeValueTraits<StringValue> {
  static constexpr std::string_view kTypeName = "ViString";
  using Getter = ViStatus (*)(ViSession, ViConstString, ViInt32, ViChar[]);
  using Setter = ViStatus (*)(ViSession, ViConstString, ViConstString);
};

template <class T>
struct AttributeCallbacks {
  typename AttributeValueTraits<T>::Getter getter = nullptr;  // none: write-only
  typename AttributeValueTraits<T>::Setter setter = nullptr;  // none: read-only
};

struct AttributeDescriptor {
  ViAttr id;
  std::string_view name;      // the macro name, e.g. "HNVQR_ATTR_VOLTAGE_LEVEL"
  std::string_view typeName;  // "ViInt32", "ViReal64", "ViBoolean", "ViSession", "ViString"
  // The callbacks; the alternative held is the value type itself.
  std::variant<AttributeCallbacks<ViInt32>, AttributeCallbacks<ViReal64>, AttributeCallbacks<ViBoolean>,
               AttributeCallbacks<ViSession>, AttributeCallbacks<StringValue>>
      callbacks;

  template <class T>
  const AttributeCallbacks<T>* As() const {
    return std::get_if<AttributeCallbacks<T>>(&callbacks);
  }
};

// One constructor per value type, so that a descriptor's type name and value type agree.
template <class T>
constexpr AttributeDescriptor MakeAttribute(ViAttr id, std::string_view name,
                                            typename AttributeValueTraits<T>::Getter getter,
                                            typename AttributeValueTraits<T>::Setter setter) {
  return AttributeDescriptor{id, name, AttributeValueTraits<T>::kTypeName, AttributeCallbacks<T>{getter, setter}};
}
constexpr auto Int32Attribute = MakeAttribute<ViInt32>;
constexpr auto Real64Attribute = MakeAttribute<ViReal64>;
constexpr auto BooleanAttribute = MakeAttribute<ViBoolean>;
constexpr auto SessionAttribute = MakeAttribute<ViSession>;
constexpr auto StringAttribute = MakeAttribute<StringValue>;

class AttributeRegistry {
 public:
  explicit AttributeRegistry(std::span<const AttributeDescriptor> descriptors);

  // The descriptor of an ID, or nullptr.
  const AttributeDescriptor* Find(ViAttr id) const;
  std::span<const AttributeDescriptor> all() const { return descriptors_; }

 private:
  std::vector<AttributeDescriptor> descriptors_;  // ordered by ID
};

}  // namespace kel
