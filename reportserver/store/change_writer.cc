// Writing object changes into the repository inside a commit's transaction.
#include "reportserver/store/change_writer.h"

#include <cctype>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "reportserver/store/history_writer.h"

namespace korva {

class ChangeWriter::Impl {
 public:
  // readMark: the collection's (see InfoObjectsImpl::readMark); firstOwnId:
  // the id sequence's value when this commit began; staging: the report
  // files, read before the commit began; author: who commits, for the
  // history.
  Impl(Database& db, int32_t administratorId, int64_t readMark, int64_t firstOwnId,
       StagedFiles& staging, const CommitAuthor& author)
      : db_(db),
        administratorId_(administratorId),
        readMark_(readMark),
        firstOwnId_(firstOwnId),
        staging_(staging),
        history_(db, author.userId, author.userName) {}

  const std::string& error() const { return error_; }

  bool insert(const ObjectChange& o, ObjectRecord* out) {
    ObjectRecord r = o.merged();
    if (o.isUser() && !checkUserName(r.title, 0)) return false;
    if (!o.isUser() && !checkParent(o, r.parentId, 0)) return false;
    if (!o.isUser() && !checkNotAddedMeanwhile(o, r.title, r.parentId)) return false;
    if (!allocateId(&r.id)) return false;
    {
      Statement st(db_,
                   "INSERT INTO objects(id, type_id, parent_id, title, description)"
                   " VALUES(?1, ?2, ?3, ?4, ?5)");
      st.bind(1, static_cast<int64_t>(r.id));
      st.bind(2, static_cast<int64_t>(o.plugin.typeId));
      st.bind(3, static_cast<int64_t>(o.isUser() ? 0 : r.parentId));
      st.bind(4, r.title);
      st.bind(5, r.description);
      if (!st.run()) return sqlFailure("Cannot store " + o.label());
    }
    if (o.isUser()) {
      Statement st(db_,
                   "INSERT INTO users(id, full_name, license_type, password, option1, option2,"
                   " option3) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
      st.bind(1, static_cast<int64_t>(r.id));
      st.bind(2, r.fullName);
      st.bind(3, static_cast<int64_t>(r.licenseType));
      const auto& password = o.pending.passwordRecord;
      if (password && !password->empty()) {
        st.bind(4, *password);
      } else {
        st.bindNull(4);
      }
      for (int i = 0; i < 3; ++i) st.bind(5 + i, static_cast<int64_t>(r.passwordOptions[i]));
      if (!st.run()) return sqlFailure("Cannot store " + o.label());
    }
    if (o.isReport()) {
      Statement st(db_, "INSERT INTO reports(id, report_type, thumbnail) VALUES(?1, ?2, ?3)");
      st.bind(1, static_cast<int64_t>(r.id));
      st.bind(2, r.reportType);
      st.bind(3, static_cast<int64_t>(r.thumbnail));
      if (!st.run()) return sqlFailure("Cannot store " + o.label());
      if (!storeFile(o, &r)) return false;
    }
    if (!recorded(history_.added(o.plugin, r)) || !storeRights(o, r)) return false;
    *out = r;
    return true;
  }

  bool update(const ObjectChange& o, ObjectRecord* out) {
    const PendingChanges& p = o.pending;
    ObjectRecord r = o.merged();
    const int32_t id = r.id;
    ObjectRecord before, after;
    if (!readStored(o, &before)) return false;
    if (p.title) {
      if (o.isUser() && id == administratorId_ && *p.title != o.stored.title) {
        return fail("The Administrator account cannot be renamed.");
      }
      if (o.isUser() && !checkUserName(*p.title, id)) return false;
      if (!setColumn("UPDATE objects SET title = ?1 WHERE id = ?2", *p.title, id)) return false;
    }
    if (p.description &&
        !setColumn("UPDATE objects SET description = ?1 WHERE id = ?2", *p.description, id)) {
      return false;
    }
    if (p.parentId) {
      if (!checkParent(o, *p.parentId, id)) return false;
      if (!setColumn("UPDATE objects SET parent_id = ?1 WHERE id = ?2", *p.parentId, id)) {
        return false;
      }
    }
    if (o.isUser()) {
      if (p.fullName &&
          !setColumn("UPDATE users SET full_name = ?1 WHERE id = ?2", *p.fullName, id)) {
        return false;
      }
      if (p.licenseType &&
          !setColumn("UPDATE users SET license_type = ?1 WHERE id = ?2", *p.licenseType, id)) {
        return false;
      }
      static const char* const kOptionSql[3] = {
          "UPDATE users SET option1 = ?1 WHERE id = ?2",
          "UPDATE users SET option2 = ?1 WHERE id = ?2",
          "UPDATE users SET option3 = ?1 WHERE id = ?2",
      };
      for (int i = 0; i < 3; ++i) {
        if (p.passwordOptions[i] &&
            !setColumn(kOptionSql[i], static_cast<int32_t>(*p.passwordOptions[i]), id)) {
          return false;
        }
      }
      if (p.passwordRecord) {
        Statement st(db_, "UPDATE users SET password = ?1 WHERE id = ?2");
        if (p.passwordRecord->empty()) {
          st.bindNull(1);
        } else {
          st.bind(1, *p.passwordRecord);
        }
        st.bind(2, static_cast<int64_t>(id));
        if (!st.run()) return sqlFailure("Cannot store the password of " + o.label());
      }
    }
    if (o.isReport()) {
      if (p.reportType &&
          !setColumn("UPDATE reports SET report_type = ?1 WHERE id = ?2", *p.reportType, id)) {
        return false;
      }
      if (p.thumbnail && !setColumn("UPDATE reports SET thumbnail = ?1 WHERE id = ?2",
                                    static_cast<int32_t>(*p.thumbnail), id)) {
        return false;
      }
      if (!storeFile(o, &r)) return false;
    }
    if (!readStored(o, &after) || !recorded(history_.updated(o.plugin, before, after, p)) ||
        !storeRights(o, after)) {
      return false;
    }
    *out = r;
    return true;
  }

  // Deletes the object and everything under it (their files and rights go
  // with them through the foreign keys).
  bool remove(const ObjectChange& o) {
    const int32_t id = o.stored.id;
    if (o.isUser() && id == administratorId_) {
      return fail("The Administrator account cannot be deleted.");
    }
    // What goes, the object first: nothing when it is already gone (by
    // another session, or with a folder removed here).
    std::vector<std::pair<ObjectHead, std::string>> gone;  // with the type's name
    {
      Statement st(db_,
                   "WITH RECURSIVE subtree(id, depth) AS (SELECT ?1, 0 UNION SELECT o.id,"
                   " s.depth + 1 FROM objects o JOIN subtree s ON o.parent_id = s.id)"
                   " SELECT o.id, o.type_id, o.parent_id, o.title, p.name FROM subtree s"
                   " JOIN objects o ON o.id = s.id JOIN plugins p ON p.type_id = o.type_id"
                   " ORDER BY s.depth, o.id");
      st.bind(1, static_cast<int64_t>(id));
      int rc;
      while ((rc = st.step()) == SQLITE_ROW) {
        gone.push_back({{static_cast<int32_t>(st.columnInt(0)),
                         static_cast<int16_t>(st.columnInt(1)),
                         static_cast<int32_t>(st.columnInt(2)), st.columnText(3)},
                        st.columnText(4)});
      }
      if (rc != SQLITE_DONE) return sqlFailure("Cannot read what goes with the " + o.label());
    }
    Statement st(db_,
                 "WITH RECURSIVE subtree(id) AS (SELECT ?1 UNION SELECT o.id FROM objects o"
                 " JOIN subtree s ON o.parent_id = s.id)"
                 " DELETE FROM objects WHERE id IN (SELECT id FROM subtree)");
    st.bind(1, static_cast<int64_t>(id));
    if (!st.run()) return sqlFailure("Cannot delete the " + o.label());
    for (size_t i = 0; i < gone.size(); ++i) {
      const std::string takenWith = i == 0 ? "" : gone[0].second + " " + std::to_string(id);
      if (!recorded(history_.deleted(gone[i].first, gone[i].second, takenWith))) return false;
    }
    return true;
  }

 private:
  bool fail(const std::string& text) {
    error_ = text;
    return false;
  }

  bool sqlFailure(const std::string& what) { return fail(what + ": " + db_.lastMessage() + "."); }

  bool allocateId(int32_t* id) {
    Statement st(db_, "UPDATE id_sequence SET next_id = next_id + 1 RETURNING next_id - 1");
    if (st.step() != SQLITE_ROW) return sqlFailure("Cannot allocate an id");
    int64_t next = st.columnInt(0);
    if (next < 1 || next > INT32_MAX) return fail("The repository has run out of object ids.");
    *id = static_cast<int32_t>(next);
    return st.step() == SQLITE_DONE || sqlFailure("Cannot allocate an id");
  }

  bool recorded(bool ok) { return ok || fail(history_.error()); }

  // The object as the repository holds it now.
  bool readStored(const ObjectChange& o, ObjectRecord* out) {
    std::vector<ObjectRecord> found;
    std::string error;
    if (!loadObjects(db_, o.isUser(), {{QueryTerm::Field::Id, o.stored.id}}, &found, &error)) {
      return fail(error);
    }
    if (found.empty()) return fail("The " + o.label() + " no longer exists.");
    *out = std::move(found.front());
    return true;
  }

  // Parent 0 (the top) or an existing folder that is not the object itself
  // nor one of its descendants.
  bool checkParent(const ObjectChange& o, int32_t parentId, int32_t selfId) {
    if (parentId == 0) return true;
    Statement st(db_,
                 "SELECT p.kind, p.name FROM objects o JOIN plugins p ON p.type_id = o.type_id"
                 " WHERE o.id = ?1");
    st.bind(1, static_cast<int64_t>(parentId));
    int rc = st.step();
    if (rc != SQLITE_ROW) {
      if (rc != SQLITE_DONE) return sqlFailure("Cannot check the parent of " + o.label());
      return fail("The parent folder " + std::to_string(parentId) + " of the " + o.label() +
                  " does not exist.");
    }
    if (st.columnText(0) != "folder") {
      return fail("Object " + std::to_string(parentId) + " is a " + st.columnText(1) +
                  ", not a folder; it cannot hold the " + o.label() + ".");
    }
    if (selfId != 0) {
      Statement up(db_,
                   "WITH RECURSIVE ancestors(id) AS (SELECT ?1 UNION SELECT o.parent_id FROM"
                   " objects o JOIN ancestors a ON o.id = a.id WHERE o.parent_id <> 0)"
                   " SELECT 1 FROM ancestors WHERE id = ?2");
      up.bind(1, static_cast<int64_t>(parentId));
      up.bind(2, static_cast<int64_t>(selfId));
      if (up.step() == SQLITE_ROW) {
        return fail("The " + o.label() + " cannot be moved under folder " +
                    std::to_string(parentId) + ", which lies inside it.");
      }
    }
    return true;
  }

  // Clients look an object up by title among what a query read, and add it
  // when it is not there. When another session stored an object of the same
  // kind and title in the same folder after that read, the new object would
  // be its unwanted twin: the commit is refused with that reason. Twins that
  // were there when the query read (a client's deliberate choice) pass.
  bool checkNotAddedMeanwhile(const ObjectChange& o, const std::string& title, int32_t parentId) {
    if (readMark_ >= firstOwnId_) return true;
    Statement st(db_,
                 "SELECT id FROM objects WHERE type_id = ?1 AND parent_id = ?2 AND title = ?3"
                 " AND id >= ?4 AND id < ?5 ORDER BY id LIMIT 1");
    st.bind(1, static_cast<int64_t>(o.plugin.typeId));
    st.bind(2, static_cast<int64_t>(parentId));
    st.bind(3, title);
    st.bind(4, readMark_);
    st.bind(5, firstOwnId_);
    const int rc = st.step();
    if (rc == SQLITE_DONE) return true;
    if (rc != SQLITE_ROW) return sqlFailure("Cannot check the title of the " + o.label());
    std::string kind = o.plugin.name;
    for (char& c : kind) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string where =
        parentId == 0 ? std::string("at the top level") : "in folder " + std::to_string(parentId);
    return fail("Another session added a " + kind + " titled \"" + title + "\" " + where + " (id " +
                std::to_string(st.columnInt(0)) + ") after this one read the folder.");
  }

  // User names are unique (logon finds users by name).
  bool checkUserName(const std::string& name, int32_t selfId) {
    if (name.empty()) return fail("A user needs a name.");
    Statement st(db_,
                 "SELECT 1 FROM objects o JOIN users u ON u.id = o.id"
                 " WHERE o.title = ?1 AND o.id <> ?2");
    st.bind(1, name);
    st.bind(2, static_cast<int64_t>(selfId));
    if (st.step() == SQLITE_ROW) return fail("A user named \"" + name + "\" already exists.");
    return true;
  }

  bool storeFile(const ObjectChange& o, ObjectRecord* r) {
    const auto& path = o.pending.filePath;
    if (!path) return true;
    StoredFile stored;
    std::string error;
    if (!staging_.store(r->id, o.pending, &stored, &error)) return fail(error);
    r->hasFile = true;
    r->fileName = stored.name;
    r->fileSize = stored.size;
    r->fileSha256 = stored.sha256;
    return true;
  }

  // The change's rights on the object as stored (r).
  bool storeRights(const ObjectChange& o, const ObjectRecord& r) {
    const int32_t objectId = r.id;
    for (const auto& [userId, role] : o.pending.rights) {
      Statement check(db_,
                      "SELECT o.title FROM objects o JOIN plugins p ON p.type_id = o.type_id"
                      " WHERE o.id = ?1 AND p.kind = 'user'");
      check.bind(1, static_cast<int64_t>(userId));
      if (check.step() != SQLITE_ROW) {
        return fail("There is no user with id " + std::to_string(userId) + ".");
      }
      std::optional<int32_t> before;
      Statement old(db_, "SELECT role FROM rights WHERE object_id = ?1 AND user_id = ?2");
      old.bind(1, static_cast<int64_t>(objectId));
      old.bind(2, static_cast<int64_t>(userId));
      if (old.step() == SQLITE_ROW) before = static_cast<int32_t>(old.columnInt(0));
      Statement st(db_,
                   "INSERT INTO rights(object_id, user_id, role) VALUES(?1, ?2, ?3)"
                   " ON CONFLICT(object_id, user_id) DO UPDATE SET role = excluded.role");
      st.bind(1, static_cast<int64_t>(objectId));
      st.bind(2, static_cast<int64_t>(userId));
      st.bind(3, static_cast<int64_t>(role));
      if (!st.run()) return sqlFailure("Cannot store the right of user " + std::to_string(userId));
      if (!recorded(history_.rightSet(o.plugin, r, userId, check.columnText(0), role, before))) {
        return false;
      }
    }
    return true;
  }

  bool setColumn(const char* sql, const std::string& value, int32_t id) {
    Statement st(db_, sql);
    st.bind(1, value);
    st.bind(2, static_cast<int64_t>(id));
    return st.run() || sqlFailure("Cannot store a change of object " + std::to_string(id));
  }

  bool setColumn(const char* sql, int32_t value, int32_t id) {
    Statement st(db_, sql);
    st.bind(1, static_cast<int64_t>(value));
    st.bind(2, static_cast<int64_t>(id));
    return st.run() || sqlFailure("Cannot store a change of object " + std::to_string(id));
  }

  Database& db_;
  const int32_t administratorId_;
  const int64_t readMark_;
  const int64_t firstOwnId_;
  StagedFiles& staging_;
  HistoryWriter history_;
  std::string error_;
};

ChangeWriter::ChangeWriter(Database& db, int32_t administratorId, int64_t readMark,
                           int64_t firstOwnId, StagedFiles& staging, const CommitAuthor& author)
    : impl_(std::make_unique<Impl>(db, administratorId, readMark, firstOwnId, staging, author)) {}

ChangeWriter::~ChangeWriter() = default;

const std::string& ChangeWriter::error() const { return impl_->error(); }

bool ChangeWriter::insert(const ObjectChange& o, ObjectRecord* out) {
  return impl_->insert(o, out);
}

bool ChangeWriter::update(const ObjectChange& o, ObjectRecord* out) {
  return impl_->update(o, out);
}

bool ChangeWriter::remove(const ObjectChange& o) { return impl_->remove(o); }

}  // namespace korva
