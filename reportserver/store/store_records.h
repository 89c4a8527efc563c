// What the store hands out of stored objects and plugins, as plain values:
// a plugin, an object's head (what a query's answer holds), a whole object's
// record, and a condition of a query.
//
// Thread-safety: plain values.
#ifndef KORVA_REPORTSERVER_STORE_STORE_RECORDS_H_
#define KORVA_REPORTSERVER_STORE_STORE_RECORDS_H_

#include <cstdint>
#include <string>

namespace korva {

enum class PluginKind { User, Folder, Report, Other };

struct PluginInfo {
  int32_t id = 0;
  int16_t typeId = 0;
  std::string name;
  PluginKind kind = PluginKind::Other;
};

// One stored object as read from the repository. User and report fields are
// filled for those kinds only.
struct ObjectRecord {
  int32_t id = 0;
  int16_t typeId = 0;
  int32_t parentId = 0;
  std::string title;
  std::string description;
  std::string fullName;
  int32_t licenseType = 1;
  bool hasPassword = false;
  bool passwordOptions[3] = {false, false, false};
  std::string reportType;
  bool thumbnail = false;
  bool hasFile = false;
  std::string fileName;
  int64_t fileSize = 0;
  std::string fileSha256;
};

// What a query's answer holds of each object: enough to list it and to
// find it by title. The other fields are read by id when something asks.
struct ObjectHead {
  int32_t id = 0;
  int16_t typeId = 0;
  int32_t parentId = 0;
  std::string title;
};

// A condition of a query: field = value.
struct QueryTerm {
  enum class Field { Id, ParentId, ObjectType };
  Field field;
  int32_t value;

  bool operator==(const QueryTerm& o) const { return field == o.field && value == o.value; }
  // Whether an object with these fields meets the condition.
  bool matches(int32_t id, int32_t parentId, int16_t typeId) const {
    switch (field) {
      case Field::Id:
        return id == value;
      case Field::ParentId:
        return parentId == value;
      case Field::ObjectType:
        return typeId == value;
    }
    return false;
  }
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_STORE_RECORDS_H_
