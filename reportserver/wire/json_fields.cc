// Strict readers of JSON values and the message writer.
#include "reportserver/wire/json_fields.h"

#include <vector>

namespace korva {
namespace wire {

namespace {

[[noreturn]] void refuse(const FieldPath& path, const std::string& what) {
  throw MalformedValue(path.str() + " " + what);
}

}  // namespace

std::string FieldPath::str() const {
  std::vector<const FieldPath*> chain;
  for (const FieldPath* p = this; p->parent_; p = p->parent_) chain.push_back(p);
  std::string text;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const FieldPath& p = **it;
    if (p.name_) {
      if (!text.empty()) text += ".";
      text += p.name_;
    } else {
      text += "[" + std::to_string(p.index_) + "]";
    }
  }
  return text.empty() ? "the message" : text;
}

Json parseMessage(std::string_view text) {
  try {
    return Json::parse(text.begin(), text.end());
  } catch (const Json::parse_error& e) {
    throw MalformedValue("the message is not valid JSON (at byte " + std::to_string(e.byte) + ")");
  } catch (const Json::out_of_range&) {
    throw MalformedValue("the message holds a number too large for any member");
  }
}

std::string writeMessage(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

const Json& objectAt(const Json& value, const FieldPath& path) {
  if (!value.is_object()) refuse(path, "is not an object");
  return value;
}

const Json& arrayAt(const Json& value, const FieldPath& path, size_t maxItems) {
  if (!value.is_array()) refuse(path, "is not a list");
  if (value.size() > maxItems) {
    refuse(path, "has more than " + std::to_string(maxItems) + " items");
  }
  return value;
}

const Json* optionalMember(const Json& object, const char* name) {
  auto it = object.find(name);
  return it == object.end() ? nullptr : &*it;
}

const Json& requiredMember(const Json& object, const char* name, const FieldPath& path) {
  const Json* value = optionalMember(object, name);
  if (!value) refuse(path.member(name), "is missing");
  return *value;
}

std::string textAt(const Json& value, const FieldPath& path, size_t maxBytes) {
  if (!value.is_string()) refuse(path, "is not a text");
  const std::string& text = value.get_ref<const std::string&>();
  if (text.size() > maxBytes) {
    refuse(path, "is longer than " + std::to_string(maxBytes) + " bytes");
  }
  return text;
}

bool boolAt(const Json& value, const FieldPath& path) {
  if (!value.is_boolean()) refuse(path, "is not true or false");
  return value.get<bool>();
}

int64_t integerAt(const Json& value, const FieldPath& path, int64_t min, int64_t max) {
  auto outOfRange = [&] {
    refuse(path, "is out of range (" + std::to_string(min) + " to " + std::to_string(max) + ")");
  };
  if (value.is_number_unsigned()) {
    const uint64_t n = value.get<uint64_t>();
    if (max < 0 || n > static_cast<uint64_t>(max)) outOfRange();
    return static_cast<int64_t>(n);
  }
  if (!value.is_number_integer()) refuse(path, "is not a whole number");
  const int64_t n = value.get<int64_t>();
  if (n < min || n > max) outOfRange();
  return n;
}

}  // namespace wire
}  // namespace korva
