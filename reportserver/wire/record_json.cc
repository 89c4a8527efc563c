// The JSON form of the store's records.
#include "reportserver/wire/record_json.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>

namespace korva {
namespace wire {

namespace {

// A name of an enumeration and back; the reader refuses any other name.
template <typename E, size_t N>
const char* nameOf(const std::pair<E, const char*> (&names)[N], E value) {
  for (const auto& n : names) {
    if (n.first == value) return n.second;
  }
  return names[0].second;
}

template <typename E, size_t N>
E valueOf(const std::pair<E, const char*> (&names)[N], const Json& value, const FieldPath& path) {
  const std::string text = textAt(value, path);
  std::string known;
  for (const auto& n : names) {
    if (text == n.second) return n.first;
    known += std::string(known.empty() ? "" : ", ") + "\"" + n.second + "\"";
  }
  throw MalformedValue(path.str() + " is not one of " + known);
}

const std::pair<PluginKind, const char*> kKindNames[] = {{PluginKind::User, "user"},
                                                         {PluginKind::Folder, "folder"},
                                                         {PluginKind::Report, "report"},
                                                         {PluginKind::Other, "other"}};

const std::pair<QueryTerm::Field, const char*> kFieldNames[] = {
    {QueryTerm::Field::Id, "id"},
    {QueryTerm::Field::ParentId, "parentId"},
    {QueryTerm::Field::ObjectType, "objectType"}};

const std::pair<StoreStatus::Code, const char*> kCodeNames[] = {
    {StoreStatus::Code::Failed, "failed"},
    {StoreStatus::Code::Denied, "denied"},
    {StoreStatus::Code::BadRequest, "badRequest"}};

}  // namespace

Json pluginJson(const PluginInfo& plugin) {
  return {{"id", plugin.id},
          {"typeId", plugin.typeId},
          {"name", plugin.name},
          {"kind", nameOf(kKindNames, plugin.kind)}};
}

PluginInfo pluginFrom(const Json& value, const FieldPath& path) {
  const Json& o = objectAt(value, path);
  PluginInfo p;
  p.id = numberMember<int32_t>(o, "id", path);
  p.typeId = numberMember<int16_t>(o, "typeId", path);
  p.name = textMember(o, "name", path);
  p.kind = valueOf(kKindNames, requiredMember(o, "kind", path), path.member("kind"));
  return p;
}

Json factsJson(const SessionFacts& facts) {
  Json plugins = Json::array();
  for (const PluginInfo& p : facts.plugins) plugins.push_back(pluginJson(p));
  return {{"apsName", facts.apsName},
          {"userId", facts.userId},
          {"userName", facts.userName},
          {"administrator", facts.administrator},
          {"plugins", std::move(plugins)}};
}

SessionFacts factsFrom(const Json& value, const FieldPath& path) {
  const Json& o = objectAt(value, path);
  SessionFacts f;
  f.apsName = textMember(o, "apsName", path);
  f.userId = numberMember<int32_t>(o, "userId", path);
  f.userName = textMember(o, "userName", path);
  f.administrator = boolMember(o, "administrator", path);
  const FieldPath listPath = path.member("plugins");
  const Json& list = arrayAt(requiredMember(o, "plugins", path), listPath);
  for (size_t i = 0; i < list.size(); ++i)
    f.plugins.push_back(pluginFrom(list[i], listPath.item(i)));
  return f;
}

Json headJson(const ObjectHead& head) {
  return Json::array({head.id, head.typeId, head.parentId, head.title});
}

ObjectHead headFrom(const Json& value, const FieldPath& path) {
  if (!value.is_array() || value.size() != 4) {
    throw MalformedValue(path.str() + " is not a list [id, typeId, parentId, title]");
  }
  ObjectHead h;
  h.id = numberAt<int32_t>(value[0], path.item(0));
  h.typeId = numberAt<int16_t>(value[1], path.item(1));
  h.parentId = numberAt<int32_t>(value[2], path.item(2));
  h.title = textAt(value[3], path.item(3));
  return h;
}

Json recordJson(const ObjectRecord& r) {
  return {{"id", r.id},
          {"typeId", r.typeId},
          {"parentId", r.parentId},
          {"title", r.title},
          {"description", r.description},
          {"fullName", r.fullName},
          {"licenseType", r.licenseType},
          {"hasPassword", r.hasPassword},
          {"passwordOptions",
           Json::array({r.passwordOptions[0], r.passwordOptions[1], r.passwordOptions[2]})},
          {"reportType", r.reportType},
          {"thumbnail", r.thumbnail},
          {"hasFile", r.hasFile},
          {"fileName", r.fileName},
          {"fileSize", r.fileSize},
          {"fileSha256", r.fileSha256}};
}

ObjectRecord recordFrom(const Json& value, const FieldPath& path) {
  const Json& o = objectAt(value, path);
  ObjectRecord r;
  r.id = numberMember<int32_t>(o, "id", path);
  r.typeId = numberMember<int16_t>(o, "typeId", path);
  r.parentId = numberMember<int32_t>(o, "parentId", path);
  r.title = textMember(o, "title", path);
  r.description = textMember(o, "description", path);
  r.fullName = textMember(o, "fullName", path);
  r.licenseType = numberMember<int32_t>(o, "licenseType", path);
  r.hasPassword = boolMember(o, "hasPassword", path);
  const FieldPath optionsPath = path.member("passwordOptions");
  const Json& options = arrayAt(requiredMember(o, "passwordOptions", path), optionsPath, 3);
  if (options.size() != 3) throw MalformedValue(optionsPath.str() + " does not have 3 items");
  for (size_t i = 0; i < 3; ++i) r.passwordOptions[i] = boolAt(options[i], optionsPath.item(i));
  r.reportType = textMember(o, "reportType", path);
  r.thumbnail = boolMember(o, "thumbnail", path);
  r.hasFile = boolMember(o, "hasFile", path);
  r.fileName = textMember(o, "fileName", path);
  r.fileSize = numberMember<int64_t>(o, "fileSize", path);
  r.fileSha256 = textMember(o, "fileSha256", path);
  return r;
}

Json rightJson(const RightRecord& right) {
  return Json::array({right.objectId, right.userId, right.role});
}

RightRecord rightFrom(const Json& value, const FieldPath& path) {
  if (!value.is_array() || value.size() != 3) {
    throw MalformedValue(path.str() + " is not a list [objectId, userId, role]");
  }
  return {numberAt<int32_t>(value[0], path.item(0)), numberAt<int32_t>(value[1], path.item(1)),
          numberAt<int32_t>(value[2], path.item(2))};
}

Json storedFileJson(const StoredFile& file) {
  return {{"name", file.name}, {"size", file.size}, {"sha256", file.sha256}};
}

StoredFile storedFileFrom(const Json& value, const FieldPath& path) {
  const Json& o = objectAt(value, path);
  StoredFile f;
  f.name = textMember(o, "name", path);
  f.size = integerAt(requiredMember(o, "size", path), path.member("size"), 0,
                     std::numeric_limits<int64_t>::max());
  f.sha256 = textMember(o, "sha256", path);
  return f;
}

Json queryJson(const ParsedQuery& query) {
  Json terms = Json::array();
  for (const QueryTerm& t : query.terms) {
    terms.push_back({{"field", nameOf(kFieldNames, t.field)}, {"value", t.value}});
  }
  return {{"systemObjects", query.systemObjects}, {"terms", std::move(terms)}};
}

ParsedQuery queryFrom(const Json& value, const FieldPath& path) {
  const Json& o = objectAt(value, path);
  ParsedQuery q;
  q.systemObjects = boolMember(o, "systemObjects", path);
  const FieldPath termsPath = path.member("terms");
  const Json& terms = arrayAt(requiredMember(o, "terms", path), termsPath);
  for (size_t i = 0; i < terms.size(); ++i) {
    const FieldPath termPath = termsPath.item(i);
    const Json& t = objectAt(terms[i], termPath);
    q.terms.push_back(
        {valueOf(kFieldNames, requiredMember(t, "field", termPath), termPath.member("field")),
         numberMember<int32_t>(t, "value", termPath)});
  }
  return q;
}

Json changeJson(const ObjectChange& change, const UploadIdOf& uploadIdOf,
                const SentFileOf& sentFileOf) {
  const PendingChanges& p = change.pending;
  Json pending = Json::object();
  if (p.title) pending["title"] = *p.title;
  if (p.description) pending["description"] = *p.description;
  if (p.parentId) pending["parentId"] = *p.parentId;
  if (p.reportType) pending["reportType"] = *p.reportType;
  if (p.thumbnail) pending["thumbnail"] = *p.thumbnail;
  if (p.filePath) {
    const SentFile* sent = sentFileOf ? sentFileOf(*p.filePath) : nullptr;
    pending["file"] = sent ? Json{{"name", sent->name}, {"size", sent->bytes.size()}}
                           : Json(uploadIdOf(*p.filePath));
  }
  if (p.fullName) pending["fullName"] = *p.fullName;
  if (p.passwordRecord) pending["passwordRecord"] = *p.passwordRecord;
  if (p.passwordOptions[0] || p.passwordOptions[1] || p.passwordOptions[2]) {
    Json options = Json::array();
    for (const auto& o : p.passwordOptions) options.push_back(o ? Json(*o) : Json());
    pending["passwordOptions"] = std::move(options);
  }
  if (p.licenseType) pending["licenseType"] = *p.licenseType;
  if (!p.rights.empty()) {
    Json rights = Json::array();
    for (const auto& r : p.rights) rights.push_back(Json::array({r.first, r.second}));
    pending["rights"] = std::move(rights);
  }
  if (p.remove) pending["remove"] = true;
  return {{"type", change.plugin.typeId},
          {"stored", headJson(change.stored)},
          {"isNew", change.isNew},
          {"pending", std::move(pending)}};
}

ObjectChange changeFrom(const Json& value, const FieldPath& path,
                        const std::vector<PluginInfo>& plugins, const UploadPathOf& uploadPathOf,
                        std::optional<SentFileHead>* sent) {
  const Json& o = objectAt(value, path);
  ObjectChange c;
  const int16_t type = numberMember<int16_t>(o, "type", path);
  const PluginInfo* plugin = nullptr;
  for (const PluginInfo& p : plugins) {
    if (p.typeId == type) plugin = &p;
  }
  if (!plugin) throw MalformedValue(path.member("type").str() + " names no object type here");
  c.plugin = *plugin;
  c.stored = headFrom(requiredMember(o, "stored", path), path.member("stored"));
  c.isNew = boolMember(o, "isNew", path);

  const FieldPath pp = path.member("pending");
  const Json& pending = objectAt(requiredMember(o, "pending", path), pp);
  PendingChanges& p = c.pending;
  auto text = [&](const char* name, std::optional<std::string>* out) {
    if (const Json* v = optionalMember(pending, name)) *out = textAt(*v, pp.member(name));
  };
  auto number = [&](const char* name, std::optional<int32_t>* out) {
    if (const Json* v = optionalMember(pending, name))
      *out = numberAt<int32_t>(*v, pp.member(name));
  };
  text("title", &p.title);
  text("description", &p.description);
  number("parentId", &p.parentId);
  text("reportType", &p.reportType);
  if (const Json* v = optionalMember(pending, "thumbnail")) {
    p.thumbnail = boolAt(*v, pp.member("thumbnail"));
  }
  if (const Json* v = optionalMember(pending, "file"); v && v->is_object()) {
    const FieldPath filePath = pp.member("file");
    if (!sent)
      throw MalformedValue(filePath.str() +
                           " names a file sent with the commit, which this request cannot carry");
    *sent = SentFileHead{textMember(*v, "name", filePath),
                         static_cast<uint64_t>(integerAt(requiredMember(*v, "size", filePath),
                                                         filePath.member("size"), 0, INT64_MAX))};
  } else if (v) {
    const FieldPath filePath = pp.member("file");
    std::string kept;
    if (!uploadPathOf(textAt(*v, filePath), &kept)) {
      throw MalformedValue(filePath.str() + " names no file uploaded in this session");
    }
    p.filePath = kept;
  }
  text("fullName", &p.fullName);
  text("passwordRecord", &p.passwordRecord);
  if (const Json* v = optionalMember(pending, "passwordOptions")) {
    const FieldPath optionsPath = pp.member("passwordOptions");
    const Json& options = arrayAt(*v, optionsPath, 3);
    if (options.size() != 3) throw MalformedValue(optionsPath.str() + " does not have 3 items");
    for (size_t i = 0; i < 3; ++i) {
      if (!options[i].is_null()) p.passwordOptions[i] = boolAt(options[i], optionsPath.item(i));
    }
  }
  number("licenseType", &p.licenseType);
  if (const Json* v = optionalMember(pending, "rights")) {
    const FieldPath rightsPath = pp.member("rights");
    const Json& rights = arrayAt(*v, rightsPath);
    for (size_t i = 0; i < rights.size(); ++i) {
      const FieldPath rightPath = rightsPath.item(i);
      if (!rights[i].is_array() || rights[i].size() != 2) {
        throw MalformedValue(rightPath.str() + " is not a list [userId, role]");
      }
      p.rights[numberAt<int32_t>(rights[i][0], rightPath.item(0))] =
          numberAt<int32_t>(rights[i][1], rightPath.item(1));
    }
  }
  if (const Json* v = optionalMember(pending, "remove")) p.remove = boolAt(*v, pp.member("remove"));
  return c;
}

const char* statusCodeName(StoreStatus::Code code) {
  return code == StoreStatus::Code::Ok ? "ok" : nameOf(kCodeNames, code);
}

Json statusJson(const StoreStatus& status) {
  return {{"code", statusCodeName(status.code)}, {"description", status.description}};
}

StoreStatus statusFrom(const Json& value, const FieldPath& path) {
  const Json& o = objectAt(value, path);
  StoreStatus s;
  s.code = valueOf(kCodeNames, requiredMember(o, "code", path), path.member("code"));
  s.description = textMember(o, "description", path);
  return s;
}

}  // namespace wire
}  // namespace korva
