// What the store hands out of stored objects and plugins, as plain values:
// a plugin, an object's head (what a query's answer holds), a whole object's
// record, a right, a snapshot of a repository, and a condition of a query.
//
// Thread-safety: plain values.
#ifndef KORVA_REPORTSERVER_STORE_STORE_RECORDS_H_
#define KORVA_REPORTSERVER_STORE_STORE_RECORDS_H_

#include <cstdint>
#include <string>
#include <vector>

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

// A right: the user's role on the object.
struct RightRecord {
  int32_t objectId;
  int32_t userId;
  int32_t role;
};

// A repository's content read at one moment, as plain values: korvaserver's
// views, the export and the console read it.
struct RepositorySnapshot {
  std::string aps;
  std::vector<PluginInfo> plugins;    // in list order
  std::vector<ObjectRecord> users;    // in id order
  std::vector<ObjectRecord> objects;  // folders, reports and the rest, in id order
  std::vector<RightRecord> rights;    // on the users and objects it holds

  const PluginInfo* plugin(int16_t typeId) const {
    for (const PluginInfo& p : plugins) {
      if (p.typeId == typeId) return &p;
    }
    return nullptr;
  }
  // The plugin's name, or "Type<id>" for a type no plugin names.
  std::string typeName(int16_t typeId) const {
    const PluginInfo* p = plugin(typeId);
    return p ? p->name : "Type" + std::to_string(typeId);
  }
  bool isKind(const ObjectRecord& o, PluginKind kind) const {
    const PluginInfo* p = plugin(o.typeId);
    return p && p->kind == kind;
  }
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
