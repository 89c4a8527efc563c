// CMAHandlerPublish: the publish instructions reader. It classifies every
// element start of the instructions file by its whole qualified name, keeps
// the section (the last of publish, users, folders, reports started), reads
// the connection values and the section defaults, and stores the user, folder
// and report entries in three maps. The publish runner reads the public
// fields directly after a successful parseFile.
//
// Thread-safety: one handler serves one run at a time, on the calling thread
// (COM must be initialised on it).
// Ownership: the handler owns its three maps, which own their meta objects;
// they are emptied by initialize() and by destruction.
#ifndef KORVA_INSTRUCTIONS_HANDLER_PUBLISH_H_
#define KORVA_INSTRUCTIONS_HANDLER_PUBLISH_H_

#include <cstdint>
#include <memory>

#include "instructions/handler_base.h"
#include "instructions/meta_obj_map.h"
#include "instructions/meta_objects.h"
#include "support/sstring.h"

class CMAHandlerPublish : public CMAHandlerBase {
 public:
  enum : int32_t {
    SectionNone = 0,
    SectionPublish = 1,
    SectionUsers = 2,
    SectionFolders = 3,
    SectionReports = 4,
  };

  CMAHandlerPublish() = default;
  ~CMAHandlerPublish() override;

  // Prepares a run: no section, the run's four settings as the defaults of
  // `publish` (null counts as ""), every other string empty, the maps emptied.
  // 200; 203 (with its line) when memory runs out.
  int initialize(const char* apsName, const char* apsUser, const char* apsPass,
                 const char* apsAuth);

  // Calls the handler of the element the qualified name recognises; S_OK
  // when it answered 200, E_FAIL otherwise, which stops the parse. The
  // namespace URI and local name are not looked at.
  HRESULT STDMETHODCALLTYPE startElement(const wchar_t*, int, const wchar_t*, int,
                                         const wchar_t* qName, int qNameLen,
                                         ISAXAttributes* attributes) override;
  // S_OK, nothing else.
  HRESULT STDMETHODCALLTYPE endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*,
                                       int) override;

  // Section elements: set the section, then read its attributes. Status of
  // the first attribute that failed, else 200.
  int onPublish(ISAXAttributes* attributes);
  int onUsers(ISAXAttributes* attributes);
  int onFolders(ISAXAttributes* attributes);
  int onReports(ISAXAttributes* attributes);

  // Entry elements: skipped with a warning (200) outside their section or
  // without a name; otherwise stored in their map. 203 or 204 on failure.
  int onUser(ISAXAttributes* attributes);
  int onFolder(ISAXAttributes* attributes);
  int onReport(ISAXAttributes* attributes);

  int32_t section = SectionNone;

  // The run's settings: defaults of the `publish` attributes.
  SAnsiString defApsName;
  SAnsiString defApsUser;
  SAnsiString defApsPass;
  SAnsiString defApsAuth;
  // Connection values read from the last `publish` element.
  SAnsiString apsName;
  SAnsiString apsUser;
  SAnsiString apsPass;
  SAnsiString apsAuth;
  // Section defaults as they stand after the last section element of a kind.
  SAnsiString usersPass;
  SAnsiString usersFull;
  SAnsiString usersDesc;
  SAnsiString usersNamed;
  SAnsiString usersRight;
  SAnsiString usersOverwrite;
  SAnsiString foldersDesc;
  SAnsiString foldersOverwrite;
  SAnsiString reportsDesc;
  SAnsiString reportsIcon;
  SAnsiString reportsOverwrite;

  // Entries by name (user names, directory names, report base names).
  CMAMetaObjMap userMap;
  CMAMetaObjMap folderMap;
  CMAMetaObjMap reportMap;

 private:
  struct AttributeField {
    const char* name;
    const char* defaultValue;
    SAnsiString* out;
  };
  // Reads the attributes in order; the first status other than 200 ends it.
  int readAttributes(ISAXAttributes* attributes, const AttributeField* fields, int count);
  // True when the section is `wanted`; otherwise writes the "does not appear
  // within" warning.
  bool inSection(int32_t wanted, const char* element, const char* sectionElement);
  // Stores a read entry in `map`, or skips a nameless one with its warning.
  int storeEntry(std::unique_ptr<CMAMetaObj> object, CMAMetaObjMap& map, const char* element);
  // Writes the "parsing the element" line with 203 and answers 203.
  static int elementFailed(const char* element);
};

#endif  // KORVA_INSTRUCTIONS_HANDLER_PUBLISH_H_
