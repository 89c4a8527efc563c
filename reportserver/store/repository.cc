// Repository creation, opening and reads.
#include "reportserver/store/repository.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

#include "platform/stdio_files.h"

namespace korva {
namespace {

// Users are found by name (logon, and the commit's check that names are
// unique): without this index each is a walk over every object. Added to
// repositories made before it existed when they are opened.
const char kTitleIndexSql[] = "CREATE INDEX IF NOT EXISTS objects_by_title ON objects(title)";

struct PluginSeed {
  const char* name;
  int typeId;
  const char* kind;
};

// The Desktop list in its order. Type ids are the repository's own; clients
// read them from the plugins.
const PluginSeed kPlugins[] = {
    {"Folder", 1, "folder"},   {"Report", 2, "report"}, {"Program", 8, "other"},
    {"Shortcut", 11, "other"}, {"User", 16, "user"},    {"Calendar", 19, "other"},
};

PluginKind kindFromText(const std::string& text) {
  if (text == "user") return PluginKind::User;
  if (text == "folder") return PluginKind::Folder;
  if (text == "report") return PluginKind::Report;
  return PluginKind::Other;
}

bool failWith(std::string* error, const std::string& what, Database& db) {
  if (error) *error = what + ": " + db.lastMessage() + ".";
  return false;
}

bool fillSchema(Database& db, const std::string& apsName, const std::string& passwordRecord,
                std::string* error) {
  if (!createSchema(db, error)) return false;
  int64_t nextId = 1;
  {
    Statement st(
        db, "INSERT INTO plugins(id, type_id, name, kind, position) VALUES(?1, ?2, ?3, ?4, ?5)");
    int position = 0;
    for (const PluginSeed& p : kPlugins) {
      st.reset();
      st.bind(1, nextId++);
      st.bind(2, static_cast<int64_t>(p.typeId));
      st.bind(3, std::string(p.name));
      st.bind(4, std::string(p.kind));
      st.bind(5, static_cast<int64_t>(++position));
      if (!st.run()) return failWith(error, "Cannot store the plugins", db);
    }
  }
  int64_t adminId = nextId++;
  int64_t userTypeId = 0;
  for (const PluginSeed& p : kPlugins) {
    if (std::string(p.kind) == "user") userTypeId = p.typeId;
  }
  {
    Statement st(
        db,
        "INSERT INTO objects(id, type_id, parent_id, title) VALUES(?1, ?2, 0, 'Administrator')");
    st.bind(1, adminId);
    st.bind(2, userTypeId);
    if (!st.run()) return failWith(error, "Cannot store the Administrator account", db);
  }
  {
    Statement st(db, "INSERT INTO users(id, password) VALUES(?1, ?2)");
    st.bind(1, adminId);
    if (passwordRecord.empty()) {
      st.bindNull(2);
    } else {
      st.bind(2, passwordRecord);
    }
    if (!st.run()) return failWith(error, "Cannot store the Administrator account", db);
  }
  {
    Statement st(db, "INSERT INTO id_sequence(next_id) VALUES(?1)");
    st.bind(1, nextId);
    if (!st.run()) return failWith(error, "Cannot store the id sequence", db);
  }
  {
    Statement st(db, "INSERT INTO settings(key, value) VALUES(?1, ?2)");
    st.bind(1, std::string("aps"));
    st.bind(2, apsName);
    if (!st.run()) return failWith(error, "Cannot store the settings", db);
    st.reset();
    st.bind(1, std::string("administrator_id"));
    st.bind(2, std::to_string(adminId));
    if (!st.run()) return failWith(error, "Cannot store the settings", db);
  }
  return true;
}

void removeRepositoryFiles(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  std::filesystem::remove(path + "-wal", ec);
  std::filesystem::remove(path + "-shm", ec);
  std::filesystem::remove(path + "-journal", ec);
}

// What to do with a file in the repository's place that fails the checks.
const char kRemoveAdvice[] =
    " Remove the file, then create the repository again with korvaserver init.";

// Creates a new empty file next to path, for this process alone, and answers
// its name; "" when none could be made.
std::string createBuildFile(const std::string& path) {
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".init-%08x", static_cast<unsigned>(random()));
    std::string name = path + suffix;
    // Password hashes and report contents are for the owner only; SQLite
    // gives the journal files the same permissions.
    int err = 0;
    if (!createNewFile(name, true, &err)) continue;
    return name;
  }
  return "";
}

bool buildRepository(const std::string& file, const std::string& apsName,
                     const std::string& passwordRecord, std::string* error) {
  Database db;
  if (!db.open(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, error)) return false;
  sqlite3_busy_timeout(db.handle(), kBusyTimeoutMs);
  // A rollback journal while it is built, so that the file alone holds
  // everything; the write-ahead log once it is complete, as every logon
  // wants it (sessions that switch it at once would refuse each other).
  std::string message;
  if (!db.exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;",
               &message)) {
    if (error) *error = "Cannot prepare the repository " + file + ": " + message + ".";
    return false;
  }
  Transaction tx(db);
  if (!tx.begin(&message)) {
    if (error) *error = "Cannot create the repository: " + message + ".";
    return false;
  }
  if (!fillSchema(db, apsName, passwordRecord, error)) return false;
  if (!tx.commit(&message)) {
    if (error) *error = "Cannot create the repository: " + message + ".";
    return false;
  }
  if (!db.exec("PRAGMA journal_mode=WAL", &message)) {
    if (error) *error = "Cannot prepare the repository " + file + ": " + message + ".";
    return false;
  }
  return true;
}

// Puts the finished file in place under path, unless something is there
// already: a hard link never replaces a file; where the file system has no
// hard links, a rename after a check.
bool putInPlace(const std::string& file, const std::string& path, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec, probe;
  // Journals left beside a repository that was removed would be taken for
  // this one's and replayed into it.
  if (!fs::exists(path, probe)) {
    for (const char* suffix : {"-wal", "-shm", "-journal"}) fs::remove(path + suffix, probe);
  }
  fs::create_hard_link(file, path, ec);
  if (ec && !fs::exists(path, probe)) {
    std::error_code renamed;
    fs::rename(file, path, renamed);
    if (!renamed) return true;
  }
  if (ec) {
    if (error) {
      *error = fs::exists(path, probe)
                   ? "The repository " + path + " already exists; it is never overwritten."
                   : "Cannot create the repository " + path + ": " + ec.message() + ".";
    }
    return false;
  }
  return true;
}

}  // namespace

bool openRepository(const std::string& path, Database* db, std::string* error) {
  if (!db->open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, error)) return false;
  sqlite3_busy_timeout(db->handle(), kBusyTimeoutMs);
  int64_t version = -1;
  {
    Statement st(*db, "PRAGMA user_version");
    if (st.step() == SQLITE_ROW) version = st.columnInt(0);
  }
  if (version < 0) {
    if (error) {
      *error = "Cannot read the repository " + path + ": " + db->lastMessage() + ".";
      const int code = sqlite3_errcode(db->handle());
      if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT) *error += kRemoveAdvice;
    }
    db->close();
    return false;
  }
  if (version > kSchemaVersion) {
    if (error) {
      *error = "The repository " + path + " has schema version " + std::to_string(version) +
               ", newer than this server understands (" + std::to_string(kSchemaVersion) +
               "); use a newer korvaserver.";
    }
    db->close();
    return false;
  }
  if (version < kOldestUpgradedSchemaVersion) {
    if (error) {
      *error = "The file " + path + " is not a complete repository (schema version " +
               std::to_string(version) + ")." + kRemoveAdvice;
    }
    db->close();
    return false;
  }
  std::string message;
  if (!db->exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;",
                &message)) {
    if (error) *error = "Cannot prepare the repository " + path + ": " + message + ".";
    db->close();
    return false;
  }
  if (version < kSchemaVersion && !upgradeSchema(*db, error)) {
    if (error) *error = "Cannot bring the repository " + path + " up to date. " + *error;
    db->close();
    return false;
  }
  // Only a help for lookups: a repository that cannot take it (a file that
  // may only be read, say) works without it.
  db->exec(kTitleIndexSql, nullptr);
  return true;
}

bool createRepository(const std::string& path, const std::string& apsName,
                      const std::string& passwordRecord, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path parent = fs::path(path).parent_path();
  if (!parent.empty() && !fs::exists(parent, ec)) {
    fs::create_directories(parent, ec);
    if (ec) {
      if (error) *error = "Cannot create the folder " + parent.string() + ": " + ec.message() + ".";
      return false;
    }
    // A home made here is its owner's alone; an existing one is left as it is.
    fs::permissions(parent, fs::perms::owner_all, fs::perm_options::replace, ec);
  }
  // An existing file is never replaced; one that fails the checks (left
  // incomplete by an older init, say) is named with what to do about it.
  if (fs::exists(path, ec)) {
    Database existing;
    std::string problem;
    if (error) {
      *error = openRepository(path, &existing, &problem)
                   ? "The repository " + path + " already exists; it is never overwritten."
                   : problem;
    }
    return false;
  }
  // Built whole under a name of its own in the same folder, then put in
  // place: an init killed on the way leaves no file under the repository's
  // name, only its own build file.
  const std::string file = createBuildFile(path);
  if (file.empty()) {
    if (error) *error = "Cannot create the repository " + path + ".";
    return false;
  }
  bool ok = buildRepository(file, apsName, passwordRecord, error) && putInPlace(file, path, error);
  removeRepositoryFiles(file);
  return ok;
}

bool readSetting(Database& db, const std::string& key, std::string* value, std::string* error) {
  Statement st(db, "SELECT value FROM settings WHERE key = ?1");
  st.bind(1, key);
  if (st.step() != SQLITE_ROW) {
    if (error) *error = "The repository has no setting \"" + key + "\": " + db.lastMessage() + ".";
    return false;
  }
  *value = st.columnText(0);
  return true;
}

bool loadPlugins(Database& db, std::vector<PluginInfo>* out, std::string* error) {
  out->clear();
  Statement st(db, "SELECT id, type_id, name, kind FROM plugins ORDER BY position, id");
  int rc;
  while ((rc = st.step()) == SQLITE_ROW) {
    PluginInfo p;
    p.id = static_cast<int32_t>(st.columnInt(0));
    p.typeId = static_cast<int16_t>(st.columnInt(1));
    p.name = st.columnText(2);
    p.kind = kindFromText(st.columnText(3));
    out->push_back(p);
  }
  if (rc != SQLITE_DONE) return failWith(error, "Cannot read the plugins", db);
  return true;
}

namespace {

// Runs "<select> WHERE <kind> AND <terms> ORDER BY o.id" (select names the
// columns and joins objects o with plugins p) and hands every row to read.
// Fixed text with one numbered parameter per term: values are never spliced
// in.
template <typename Read>
bool selectObjects(Database& db, std::string sql, bool system, const std::vector<QueryTerm>& terms,
                   Read read, std::string* error) {
  sql += system ? " WHERE p.kind = 'user'" : " WHERE p.kind <> 'user'";
  int index = 0;
  for (const QueryTerm& t : terms) {
    ++index;
    switch (t.field) {
      case QueryTerm::Field::Id:
        sql += " AND o.id = ?";
        break;
      case QueryTerm::Field::ParentId:
        sql += " AND o.parent_id = ?";
        break;
      case QueryTerm::Field::ObjectType:
        sql += " AND o.type_id = ?";
        break;
    }
    sql += std::to_string(index);
  }
  sql += " ORDER BY o.id";
  Statement st(db, sql.c_str());
  if (!st.ok()) return failWith(error, "Cannot run the query", db);
  index = 0;
  for (const QueryTerm& t : terms) st.bind(++index, static_cast<int64_t>(t.value));
  int rc;
  while ((rc = st.step()) == SQLITE_ROW) read(st);
  if (rc != SQLITE_DONE) return failWith(error, "Cannot run the query", db);
  return true;
}

// The first four columns of both: id, type, parent, title.
template <typename Row>
void readHeadColumns(Statement& st, Row* r) {
  r->id = static_cast<int32_t>(st.columnInt(0));
  r->typeId = static_cast<int16_t>(st.columnInt(1));
  r->parentId = static_cast<int32_t>(st.columnInt(2));
  r->title = st.columnText(3);
}

}  // namespace

bool loadObjects(Database& db, bool system, const std::vector<QueryTerm>& terms,
                 std::vector<ObjectRecord>* out, std::string* error) {
  out->clear();
  // Only users have a row in users and only reports one in reports, so a
  // query for users leaves the reports out and the other way round (the
  // columns stay, as nulls).
  std::string sql = "SELECT o.id, o.type_id, o.parent_id, o.title, o.description,";
  if (system) {
    sql +=
        " u.full_name, u.license_type, u.password IS NOT NULL, u.option1, u.option2, u.option3,"
        " NULL, NULL, NULL, NULL, NULL, NULL"
        " FROM objects o JOIN plugins p ON p.type_id = o.type_id"
        " LEFT JOIN users u ON u.id = o.id";
  } else {
    sql +=
        " NULL, NULL, NULL, NULL, NULL, NULL,"
        " r.report_type, r.thumbnail, r.file_name IS NOT NULL, r.file_name, r.file_size,"
        " r.file_sha256"
        " FROM objects o JOIN plugins p ON p.type_id = o.type_id"
        " LEFT JOIN reports r ON r.id = o.id";
  }
  auto read = [out](Statement& st) {
    ObjectRecord r;
    readHeadColumns(st, &r);
    r.description = st.columnText(4);
    if (!st.columnIsNull(5)) {
      r.fullName = st.columnText(5);
      r.licenseType = static_cast<int32_t>(st.columnInt(6));
      r.hasPassword = st.columnInt(7) != 0;
      for (int i = 0; i < 3; ++i) r.passwordOptions[i] = st.columnInt(8 + i) != 0;
    }
    if (!st.columnIsNull(11)) {
      r.reportType = st.columnText(11);
      r.thumbnail = st.columnInt(12) != 0;
      r.hasFile = st.columnInt(13) != 0;
      r.fileName = st.columnText(14);
      r.fileSize = st.columnInt(15);
      r.fileSha256 = st.columnText(16);
    }
    out->push_back(std::move(r));
  };
  return selectObjects(db, std::move(sql), system, terms, read, error);
}

bool loadHeads(Database& db, bool system, const std::vector<QueryTerm>& terms,
               std::vector<ObjectHead>* out, std::string* error) {
  out->clear();
  // The children of one folder come from objects_by_parent, in id order.
  auto read = [out](Statement& st) {
    ObjectHead h;
    readHeadColumns(st, &h);
    out->push_back(std::move(h));
  };
  return selectObjects(db,
                       "SELECT o.id, o.type_id, o.parent_id, o.title FROM objects o"
                       " JOIN plugins p ON p.type_id = o.type_id",
                       system, terms, read, error);
}

bool findUserForLogon(Database& db, const std::string& name, int32_t* id, bool* found,
                      std::string* passwordRecord, std::string* error) {
  Statement st(db,
               "SELECT o.id, u.password FROM objects o JOIN users u ON u.id = o.id"
               " WHERE o.title = ?1 ORDER BY o.id LIMIT 1");
  st.bind(1, name);
  int rc = st.step();
  if (rc == SQLITE_ROW) {
    *found = true;
    *id = static_cast<int32_t>(st.columnInt(0));
    *passwordRecord = st.columnIsNull(1) ? std::string() : st.columnText(1);
    return true;
  }
  if (rc == SQLITE_DONE) {
    *found = false;
    return true;
  }
  return failWith(error, "Cannot read the users", db);
}

bool loadRights(Database& db, int32_t objectId, std::vector<RightRecord>* out, std::string* error) {
  out->clear();
  Statement st(db, objectId == 0
                       ? "SELECT object_id, user_id, role FROM rights ORDER BY object_id, user_id"
                       : "SELECT object_id, user_id, role FROM rights WHERE object_id = ?1"
                         " ORDER BY user_id");
  if (objectId != 0) st.bind(1, static_cast<int64_t>(objectId));
  int rc;
  while ((rc = st.step()) == SQLITE_ROW) {
    out->push_back({static_cast<int32_t>(st.columnInt(0)), static_cast<int32_t>(st.columnInt(1)),
                    static_cast<int32_t>(st.columnInt(2))});
  }
  if (rc != SQLITE_DONE) return failWith(error, "Cannot read the rights", db);
  return true;
}

}  // namespace korva
