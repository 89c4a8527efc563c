// korvaserver's views of a repository: tree, users and the JSON dump. Each
// reads one consistent snapshot.
#include "reportserver/admin/repository_views.h"

#include <map>
#include <vector>

#include "reportserver/store/named_repository.h"
#include "reportserver/store/repository.h"
#include "reportserver/text/json_text.h"

namespace korva {
namespace {

struct Snapshot {
  std::string aps;
  std::vector<PluginInfo> plugins;
  std::vector<ObjectRecord> users;
  std::vector<ObjectRecord> objects;
  std::vector<RightRecord> rights;

  std::string typeName(int16_t typeId) const {
    for (const PluginInfo& p : plugins) {
      if (p.typeId == typeId) return p.name;
    }
    return "Type" + std::to_string(typeId);
  }
};

bool readSnapshot(const std::string& apsName, Snapshot* s, std::string* error) {
  Database db;
  std::string name;
  if (!openNamedRepository(apsName, &db, &name, error)) return false;
  std::string message;
  if (!db.exec("BEGIN", &message)) {
    if (error) *error = "Cannot read the repository: " + message + ".";
    return false;
  }
  bool ok = readSetting(db, "aps", &s->aps, error) && loadPlugins(db, &s->plugins, error) &&
            loadObjects(db, true, {}, &s->users, error) &&
            loadObjects(db, false, {}, &s->objects, error) && loadRights(db, 0, &s->rights, error);
  db.exec("COMMIT", nullptr);
  return ok;
}

const char* roleName(int32_t role) {
  static const char* const kNames[] = {"NoAccess", "View", "Schedule", "ViewOnDemand",
                                       "FullControl"};
  return role >= 1 && role <= 5 ? kNames[role - 1] : "Unknown";
}

const char* boolText(bool b) { return b ? "true" : "false"; }

void appendTree(const Snapshot& s, const std::multimap<int32_t, const ObjectRecord*>& children,
                int32_t parent, int depth, std::string* out) {
  auto range = children.equal_range(parent);
  for (auto it = range.first; it != range.second; ++it) {
    const ObjectRecord& o = *it->second;
    out->append(static_cast<size_t>(depth) * 2, ' ');
    *out += s.typeName(o.typeId) + " " + std::to_string(o.id) + " " + jsonString(o.title);
    if (!o.description.empty()) *out += ": " + jsonString(o.description);
    bool isReport = false;
    for (const PluginInfo& p : s.plugins) {
      if (p.typeId == o.typeId) isReport = p.kind == PluginKind::Report;
    }
    if (isReport) {
      if (o.hasFile) {
        // The name as it was on disk, control characters and all: escaped.
        *out += ", file " + jsonEscaped(o.fileName) + ", " + std::to_string(o.fileSize) + " bytes";
      } else {
        *out += ", no file";
      }
    }
    *out += "\n";
    if (depth < 1000) appendTree(s, children, o.id, depth + 1, out);
  }
}

}  // namespace

bool describeTree(const std::string& apsName, std::string* text, std::string* error) {
  Snapshot s;
  if (!readSnapshot(apsName, &s, error)) return false;
  std::multimap<int32_t, const ObjectRecord*> children;  // in id order within a parent
  for (const ObjectRecord& o : s.objects) children.emplace(o.parentId, &o);
  text->clear();
  appendTree(s, children, 0, 0, text);
  if (text->empty()) *text = "(no folders or reports)\n";
  return true;
}

bool describeUsers(const std::string& apsName, std::string* text, std::string* error) {
  Snapshot s;
  if (!readSnapshot(apsName, &s, error)) return false;
  std::map<int32_t, const ObjectRecord*> objectsById;
  for (const ObjectRecord& o : s.objects) objectsById[o.id] = &o;
  text->clear();
  for (const ObjectRecord& u : s.users) {
    *text += "User " + std::to_string(u.id) + " " + jsonString(u.title) + ", full name " +
             jsonString(u.fullName) + ", licence " + std::to_string(u.licenseType) +
             (u.licenseType == 0 ? " (named)" : " (concurrent)") + ", password " +
             (u.hasPassword ? "yes" : "no") + "\n";
    bool any = false;
    for (const RightRecord& r : s.rights) {
      if (r.userId != u.id) continue;
      any = true;
      *text += "  " + std::string(roleName(r.role)) + " (" + std::to_string(r.role) + ") on ";
      auto it = objectsById.find(r.objectId);
      if (it != objectsById.end()) {
        *text += s.typeName(it->second->typeId) + " " + std::to_string(r.objectId) + " " +
                 jsonString(it->second->title) + "\n";
      } else {
        *text += "object " + std::to_string(r.objectId) + "\n";
      }
    }
    if (!any) *text += "  no rights\n";
  }
  return true;
}

bool dumpRepository(const std::string& apsName, std::string* json, std::string* error) {
  Snapshot s;
  if (!readSnapshot(apsName, &s, error)) return false;
  std::map<int32_t, std::vector<const RightRecord*>> rightsByObject;
  for (const RightRecord& r : s.rights) rightsByObject[r.objectId].push_back(&r);

  std::string& out = *json;
  out = "{\"aps\": " + jsonString(s.aps) + ",\n \"plugins\": [";
  for (size_t i = 0; i < s.plugins.size(); ++i) {
    if (i) out += ", ";
    out += "{\"name\": " + jsonString(s.plugins[i].name) +
           ", \"typeId\": " + std::to_string(s.plugins[i].typeId) + "}";
  }
  out += "],\n \"users\": [";
  const std::string userIndent(11, ' ');
  for (size_t i = 0; i < s.users.size(); ++i) {
    const ObjectRecord& u = s.users[i];
    if (i) out += ",\n" + userIndent;
    out += "{\"id\": " + std::to_string(u.id) + ", \"name\": " + jsonString(u.title) +
           ", \"fullName\": " + jsonString(u.fullName) +
           ", \"description\": " + jsonString(u.description) + ",\n" + userIndent +
           " \"licenseType\": " + std::to_string(u.licenseType) +
           ", \"hasPassword\": " + boolText(u.hasPassword) + ", \"passwordOptions\": [" +
           boolText(u.passwordOptions[0]) + ", " + boolText(u.passwordOptions[1]) + ", " +
           boolText(u.passwordOptions[2]) + "]}";
  }
  out += "],\n \"objects\": [";
  const std::string objectIndent(13, ' ');
  for (size_t i = 0; i < s.objects.size(); ++i) {
    const ObjectRecord& o = s.objects[i];
    bool isReport = false;
    for (const PluginInfo& p : s.plugins) {
      if (p.typeId == o.typeId) isReport = p.kind == PluginKind::Report;
    }
    if (i) out += ",\n" + objectIndent;
    out += "{\"id\": " + std::to_string(o.id) + ", \"type\": " + jsonString(s.typeName(o.typeId)) +
           ", \"parentId\": " + std::to_string(o.parentId) + ", \"title\": " + jsonString(o.title) +
           ", \"description\": " + jsonString(o.description) + ",\n" + objectIndent + " ";
    if (isReport) {
      out += "\"reportType\": " + jsonString(o.reportType) +
             ", \"thumbnail\": " + boolText(o.thumbnail) + ",\n" + objectIndent + " \"file\": ";
      if (o.hasFile) {
        out += "{\"name\": " + jsonString(o.fileName) +
               ", \"size\": " + std::to_string(o.fileSize) +
               ", \"sha256\": " + jsonString(o.fileSha256) + "}";
      } else {
        out += "null";
      }
      out += ", ";
    }
    out += "\"rights\": [";
    const auto& rights = rightsByObject[o.id];
    for (size_t j = 0; j < rights.size(); ++j) {
      if (j) out += ", ";
      out += "{\"userId\": " + std::to_string(rights[j]->userId) +
             ", \"role\": " + std::to_string(rights[j]->role) + "}";
    }
    out += "]}";
  }
  out += "]}\n";
  return true;
}

}  // namespace korva
