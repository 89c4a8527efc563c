// Strict reading of JSON values for the wire messages: each reader checks the
// value's type and range and throws MalformedValue with what is wrong, naming
// the member ("changes[2].pending.title is not a text"); the message
// functions (wire_messages.h) catch it and make a sentence of it, so nothing
// is thrown past them.
// Writing turns text that is not UTF-8 into U+FFFD instead of failing.
//
// Thread-safety: pure functions.
// Ownership: a FieldPath points at its parent, which outlives it (both live
// on the stack of one decoding).
#ifndef KORVA_REPORTSERVER_WIRE_JSON_FIELDS_H_
#define KORVA_REPORTSERVER_WIRE_JSON_FIELDS_H_

#include <cstddef>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

#include "reportserver/wire/wire_protocol.h"

namespace korva {
namespace wire {

using Json = nlohmann::json;

// A value that does not fit its member; what() says why, without a full stop.
class MalformedValue : public std::runtime_error {
 public:
  explicit MalformedValue(const std::string& description) : std::runtime_error(description) {}
};

// Where a value stands in its message: "changes[2].pending.title", or "the
// message" for the whole. Spelled out only when a description needs it.
class FieldPath {
 public:
  FieldPath() = default;
  FieldPath member(const char* name) const { return FieldPath(this, name, 0); }
  FieldPath item(size_t index) const { return FieldPath(this, nullptr, index); }
  std::string str() const;

 private:
  FieldPath(const FieldPath* parent, const char* name, size_t index)
      : parent_(parent), name_(name), index_(index) {}

  const FieldPath* parent_ = nullptr;
  const char* name_ = nullptr;  // null: an array item
  size_t index_ = 0;
};

// Parses a whole message; throws MalformedValue when it is not JSON.
Json parseMessage(std::string_view text);
// Writes a message.
std::string writeMessage(const Json& value);

// The object at path, an array of at most maxItems items.
const Json& objectAt(const Json& value, const FieldPath& path);
const Json& arrayAt(const Json& value, const FieldPath& path,
                    size_t maxItems = std::numeric_limits<size_t>::max());
// The member name of an object (checked by objectAt); null when absent.
const Json* optionalMember(const Json& object, const char* name);
// The same, thrown as missing when absent.
const Json& requiredMember(const Json& object, const char* name, const FieldPath& path);

std::string textAt(const Json& value, const FieldPath& path, size_t maxBytes = kMaxWireText);
bool boolAt(const Json& value, const FieldPath& path);
int64_t integerAt(const Json& value, const FieldPath& path, int64_t min, int64_t max);

template <typename T>
T numberAt(const Json& value, const FieldPath& path) {
  return static_cast<T>(
      integerAt(value, path, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

// Members read by name: value = reader(object[name], path.name).
inline std::string textMember(const Json& object, const char* name, const FieldPath& path) {
  return textAt(requiredMember(object, name, path), path.member(name));
}
inline bool boolMember(const Json& object, const char* name, const FieldPath& path) {
  return boolAt(requiredMember(object, name, path), path.member(name));
}
template <typename T>
T numberMember(const Json& object, const char* name, const FieldPath& path) {
  return numberAt<T>(requiredMember(object, name, path), path.member(name));
}

}  // namespace wire
}  // namespace korva

#endif  // KORVA_REPORTSERVER_WIRE_JSON_FIELDS_H_
