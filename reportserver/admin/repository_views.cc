// korvaserver's views of a repository: tree, users and the JSON dump. Each
// reads one consistent snapshot.
#include "reportserver/admin/repository_views.h"

#include <map>
#include <vector>

#include "reportserver/store/named_repository.h"
#include "reportserver/store/record_names.h"
#include "reportserver/store/repository_snapshot.h"
#include "reportserver/text/json_text.h"

namespace korva {
namespace {

const char* boolText(bool b) { return b ? "true" : "false"; }

void appendTree(const RepositorySnapshot& s,
                const std::multimap<int32_t, const ObjectRecord*>& children, int32_t parent,
                int depth, std::string* out) {
  auto range = children.equal_range(parent);
  for (auto it = range.first; it != range.second; ++it) {
    const ObjectRecord& o = *it->second;
    out->append(static_cast<size_t>(depth) * 2, ' ');
    *out += s.typeName(o.typeId) + " " + std::to_string(o.id) + " " + jsonString(o.title);
    if (!o.description.empty()) *out += ": " + jsonString(o.description);
    if (s.isKind(o, PluginKind::Report)) {
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

bool readLocalSnapshot(const std::string& apsName, RepositorySnapshot* s, std::string* error) {
  Database db;
  std::string name;
  return openNamedRepository(apsName, &db, &name, error) &&
         readRepositorySnapshot(db, std::nullopt, s, error);
}

bool viewLocalRepository(const std::string& apsName, RepositoryView view, std::string* text,
                         std::string* error) {
  RepositorySnapshot s;
  if (!readLocalSnapshot(apsName, &s, error)) return false;
  *text = view(s);
  return true;
}

bool viewRepositoryAs(const LogonRequest& logon, RepositoryView view, std::string* text,
                      std::string* error) {
  StoreSessionPtr session;
  RepositorySnapshot s;
  StoreStatus status = logOnToStore(logon, &session);
  if (status.ok()) status = session->snapshot(&s);
  if (!status.ok()) {
    *error = status.description;
    return false;
  }
  *text = view(s);
  return true;
}

std::string describeTree(const RepositorySnapshot& s) {
  std::multimap<int32_t, const ObjectRecord*> children;  // in id order within a parent
  for (const ObjectRecord& o : s.objects) children.emplace(o.parentId, &o);
  std::string text;
  appendTree(s, children, 0, 0, &text);
  return text.empty() ? "(no folders or reports)\n" : text;
}

std::string describeUsers(const RepositorySnapshot& s) {
  std::map<int32_t, const ObjectRecord*> objectsById;
  for (const ObjectRecord& o : s.objects) objectsById[o.id] = &o;
  std::string out;
  std::string* text = &out;
  for (const ObjectRecord& u : s.users) {
    *text += "User " + std::to_string(u.id) + " " + jsonString(u.title) + ", full name " +
             jsonString(u.fullName) + ", licence " + std::to_string(u.licenseType) +
             " (" + licenceTypeName(u.licenseType) + "), password " +
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
  return out;
}

std::string dumpRepository(const RepositorySnapshot& s) {
  std::map<int32_t, std::vector<const RightRecord*>> rightsByObject;
  for (const RightRecord& r : s.rights) rightsByObject[r.objectId].push_back(&r);

  std::string out = "{\"aps\": " + jsonString(s.aps) + ",\n \"plugins\": [";
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
    if (i) out += ",\n" + objectIndent;
    out += "{\"id\": " + std::to_string(o.id) + ", \"type\": " + jsonString(s.typeName(o.typeId)) +
           ", \"parentId\": " + std::to_string(o.parentId) + ", \"title\": " + jsonString(o.title) +
           ", \"description\": " + jsonString(o.description) + ",\n" + objectIndent + " ";
    if (s.isKind(o, PluginKind::Report)) {
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
  return out;
}

}  // namespace korva
