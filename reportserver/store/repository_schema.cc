// The repository's tables, and the upgrade from older versions.
#include "reportserver/store/repository_schema.h"

namespace korva {
namespace {

// Everything but the contents of report files.
const char kBaseSchemaSql[] = R"sql(
CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE id_sequence(next_id INTEGER NOT NULL);
CREATE TABLE plugins(
  id INTEGER PRIMARY KEY,
  type_id INTEGER NOT NULL UNIQUE,
  name TEXT NOT NULL UNIQUE,
  kind TEXT NOT NULL CHECK(kind IN ('user', 'folder', 'report', 'other')),
  position INTEGER NOT NULL);
CREATE TABLE objects(
  id INTEGER PRIMARY KEY,
  type_id INTEGER NOT NULL REFERENCES plugins(type_id),
  parent_id INTEGER NOT NULL DEFAULT 0,
  title TEXT NOT NULL DEFAULT '',
  description TEXT NOT NULL DEFAULT '');
CREATE INDEX objects_by_parent ON objects(parent_id, type_id);
CREATE INDEX objects_by_title ON objects(title);
CREATE TABLE users(
  id INTEGER PRIMARY KEY REFERENCES objects(id) ON DELETE CASCADE,
  full_name TEXT NOT NULL DEFAULT '',
  license_type INTEGER NOT NULL DEFAULT 1,
  password TEXT,
  option1 INTEGER NOT NULL DEFAULT 0,
  option2 INTEGER NOT NULL DEFAULT 0,
  option3 INTEGER NOT NULL DEFAULT 0);
CREATE TABLE reports(
  id INTEGER PRIMARY KEY REFERENCES objects(id) ON DELETE CASCADE,
  report_type TEXT NOT NULL DEFAULT '',
  thumbnail INTEGER NOT NULL DEFAULT 0,
  file_name TEXT,
  file_size INTEGER,
  file_sha256 TEXT,
  content_id INTEGER REFERENCES contents(id));
CREATE TABLE rights(
  object_id INTEGER NOT NULL REFERENCES objects(id) ON DELETE CASCADE,
  user_id INTEGER NOT NULL REFERENCES objects(id) ON DELETE CASCADE,
  role INTEGER NOT NULL,
  PRIMARY KEY(object_id, user_id));
CREATE INDEX rights_by_user ON rights(user_id);
)sql";

// The contents of report files (reports.content_id exists before this runs).
// A content no report holds is listed loose, so that it can be found and
// removed without a walk over every content; the list is short (what runs
// now, and what waits for removal), so it has no index beyond its key.
const char kContentSchemaSql[] = R"sql(
CREATE TABLE contents(
  id INTEGER PRIMARY KEY,
  size INTEGER,
  sha256 TEXT);
CREATE TABLE content_chunks(
  content_id INTEGER NOT NULL REFERENCES contents(id) ON DELETE CASCADE,
  seq INTEGER NOT NULL,
  data BLOB NOT NULL);
CREATE UNIQUE INDEX content_chunks_order ON content_chunks(content_id, seq);
CREATE TABLE loose_contents(
  content_id INTEGER PRIMARY KEY REFERENCES contents(id) ON DELETE CASCADE,
  staging TEXT);
CREATE INDEX reports_by_content ON reports(content_id);
CREATE TRIGGER report_takes_other_content AFTER UPDATE OF content_id ON reports
  WHEN OLD.content_id IS NOT NULL AND OLD.content_id IS NOT NEW.content_id
BEGIN
  INSERT OR IGNORE INTO loose_contents(content_id) VALUES(OLD.content_id);
END;
CREATE TRIGGER report_goes AFTER DELETE ON reports WHEN OLD.content_id IS NOT NULL
BEGIN
  INSERT OR IGNORE INTO loose_contents(content_id) VALUES(OLD.content_id);
END;
)sql";

// The history of every change a commit stored (history_entry.h), written in
// the commit's transaction. Entries outlive their objects: no foreign keys.
const char kHistorySchemaSql[] = R"sql(
CREATE TABLE history(
  id INTEGER PRIMARY KEY,
  time TEXT NOT NULL,
  user_id INTEGER NOT NULL,
  user_name TEXT NOT NULL,
  action TEXT NOT NULL CHECK(action IN ('added', 'updated', 'deleted', 'right set')),
  object_id INTEGER NOT NULL,
  type_id INTEGER NOT NULL,
  object_type TEXT NOT NULL,
  object_title TEXT NOT NULL,
  change TEXT NOT NULL);
CREATE INDEX history_by_object ON history(object_id, id);
)sql";

// Version 1 to 2: each report's chunks become a content of the same id.
const char kContentsOfVersion1Sql[] = R"sql(
INSERT INTO contents(id, size, sha256)
  SELECT id, file_size, file_sha256 FROM reports WHERE file_name IS NOT NULL;
UPDATE reports SET content_id = id WHERE file_name IS NOT NULL;
INSERT INTO content_chunks(content_id, seq, data)
  SELECT k.report_id, k.seq, k.data FROM report_chunks k JOIN contents c ON c.id = k.report_id;
DROP TABLE report_chunks;
)sql";

bool run(Database& db, const char* sql, const char* what, std::string* error) {
  std::string message;
  if (db.exec(sql, &message)) return true;
  if (error) *error = std::string(what) + ": " + message + ".";
  return false;
}

bool setVersion(Database& db, std::string* error) {
  const std::string pragma = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
  return run(db, pragma.c_str(), "Cannot set the schema version", error);
}

}  // namespace

bool createSchema(Database& db, std::string* error) {
  return run(db, kBaseSchemaSql, "Cannot create the repository schema", error) &&
         run(db, kContentSchemaSql, "Cannot create the repository schema", error) &&
         run(db, kHistorySchemaSql, "Cannot create the repository schema", error) &&
         setVersion(db, error);
}

bool upgradeSchema(Database& db, std::string* error) {
  Transaction tx(db);
  std::string message;
  if (!tx.begin(&message)) {
    if (error) *error = "Cannot start the upgrade: " + message + ".";
    return false;
  }
  int64_t version = -1;
  {
    Statement st(db, "PRAGMA user_version");
    if (st.step() == SQLITE_ROW) version = st.columnInt(0);
  }
  if (version == kSchemaVersion) return true;  // done by another connection meanwhile
  const char* what = "Cannot upgrade the schema";
  if (version < kOldestUpgradedSchemaVersion || version > kSchemaVersion) {
    if (error) *error = what + std::string(": unexpected version ") + std::to_string(version) + ".";
    return false;
  }
  // Each step brings one version to the next.
  if (version == 1 &&
      (!run(db, "ALTER TABLE reports ADD COLUMN content_id INTEGER REFERENCES contents(id)", what,
            error) ||
       !run(db, kContentSchemaSql, what, error) || !run(db, kContentsOfVersion1Sql, what, error))) {
    return false;
  }
  if (!run(db, kHistorySchemaSql, what, error) || !setVersion(db, error)) return false;
  if (!tx.commit(&message)) {
    if (error) *error = "Cannot finish the upgrade: " + message + ".";
    return false;
  }
  return true;
}

}  // namespace korva
