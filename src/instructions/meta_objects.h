// The meta objects: one small record per user, folder and report entry of a
// publish instructions file, holding the entry's attribute texts with their
// defaults already applied. Nothing is interpreted here: "1", the right names
// and the like are read by the publish runner and the report server client.
//
// Thread-safety: none; an object belongs to one run on one thread.
// Ownership: the reader creates the objects and hands them to a CMAMetaObjMap,
// which owns and deletes them (through the virtual destructor).
#ifndef KORVA_INSTRUCTIONS_META_OBJECTS_H_
#define KORVA_INSTRUCTIONS_META_OBJECTS_H_

#include <cstdint>

#include "support/sstring.h"

// Base of the three kinds; the name is the key under which a map holds it.
class CMAMetaObj {
 public:
  CMAMetaObj() = default;
  CMAMetaObj(const CMAMetaObj&) = delete;
  CMAMetaObj& operator=(const CMAMetaObj&) = delete;
  virtual ~CMAMetaObj();

  virtual const SAnsiString& getName() const = 0;
};

// A `user` entry. `id` is the server id the runner obtained for the user:
// -1 until the user was added or updated, and when that failed.
class CMAMetaUserObj : public CMAMetaObj {
 public:
  ~CMAMetaUserObj() override;
  const SAnsiString& getName() const override { return name; }

  int32_t id = -1;
  SAnsiString name;
  SAnsiString pass;
  SAnsiString full;
  SAnsiString desc;
  SAnsiString named;
  SAnsiString right;
  SAnsiString overwrite;
};

// A `folder` entry, matched by the bare name of a source sub-directory.
class CMAMetaFolderObj : public CMAMetaObj {
 public:
  ~CMAMetaFolderObj() override;
  const SAnsiString& getName() const override { return name; }

  SAnsiString name;
  SAnsiString desc;
  SAnsiString overwrite;
};

// A `report` entry, matched by the base name of a report file (no directory,
// no extension).
class CMAMetaReportObj : public CMAMetaObj {
 public:
  ~CMAMetaReportObj() override;
  const SAnsiString& getName() const override { return name; }

  SAnsiString name;
  SAnsiString title;
  SAnsiString desc;
  SAnsiString icon;
  SAnsiString overwrite;
};

#endif  // KORVA_INSTRUCTIONS_META_OBJECTS_H_
