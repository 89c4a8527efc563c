// CMAVEObjV85: the engine's client of the report server. It holds one
// logged-on session (the session manager, the session, the InfoStore and the
// User, Folder and Report desktop plugins with their type ids) and offers the
// runners every operation they perform on the server: queries and lookups,
// adding or updating users, folders and reports, deleting folders and
// reports, and granting rights.
//
// Every operation answers a status number (common/status.h) and writes its
// own log lines: a failing step records its status, writes its message and
// unwinds to the operation's end, where the operation's closing line is
// written. 600 means the server refused a call and its detailed error text
// has been logged.
//
// Thread-safety: one instance is used by one thread, the one that initialised
// the component runtime.
// Ownership: the instance owns the six references it holds and releases them
// in disconnect() or its destructor. References handed out through Ref<T> out
// parameters belong to the caller.
#ifndef KORVA_SERVER_VE_OBJ_V85_H_
#define KORVA_SERVER_VE_OBJ_V85_H_

#include <cstdint>

#include "com/bstr.h"
#include "com/ref.h"
#include "com/variant.h"
#include "common/status.h"
#include "platform/com.h"
#include "server/report_server.h"
#include "support/sstring.h"

class CMAVEObjV85 {
 public:
  CMAVEObjV85();
  virtual ~CMAVEObjV85();  // disconnect(), then drops anything still held

  CMAVEObjV85(const CMAVEObjV85&) = delete;
  CMAVEObjV85& operator=(const CMAVEObjV85&) = delete;

  int connect(const char* apsName, const char* userName, const char* password,
              const char* authentication);
  void disconnect();
  void logErrorDetail();

  int querySystemObjectsByType(int16_t type, korva::Ref<korva::InfoObjects>* out);
  int queryChildren(int16_t type, int32_t parentId, korva::Ref<korva::InfoObjects>* out);
  int getSystemObjectById(int32_t id, korva::Ref<korva::InfoObject>* object,
                          korva::Ref<korva::InfoObjects>* collection);
  int getInfoObjectById(int32_t id, korva::Ref<korva::InfoObject>* object,
                        korva::Ref<korva::InfoObjects>* collection);
  int findByName(const char* name, korva::InfoObjects* collection,
                 korva::Ref<korva::InfoObject>* out);
  int getFolder(const char* name, int32_t parentId, int32_t* id);
  int getReport(const char* name, int32_t parentId, int32_t* id);

  int addUser(const char* name, const char* fullName, const char* description, const char* password,
              const char* named, bool* overwrite, int32_t* id);
  int addFolder(const char* name, const char* description, bool* overwrite, int32_t parentId,
                int32_t* id);
  int addReport(const char* title, const char* description, const char* icon, const char* filePath,
                bool thumbnail, bool* overwrite, int32_t parentId, int32_t* id);

  int deleteFolder(const char* name, int32_t parentId);
  int deleteReport(const char* name, int32_t parentId);
  int setRight(int32_t objectId, int32_t userId, const char* rightName);

  int16_t userTypeId() const { return userTypeId_; }
  int16_t folderTypeId() const { return folderTypeId_; }
  int16_t reportTypeId() const { return reportTypeId_; }
  // True while all six references of a session are held.
  bool isConnected() const;

  // 8-bit text -> wide, through the C runtime's multibyte conversion (the
  // engine's wide text type). A null text gives the empty text. Throws
  // std::invalid_argument when the text is not valid in the current locale,
  // which ends the calling operation as an unexpected failure.
  static SWCharString toWide(const char* text);
  // The same as a BSTR for the server; throws std::bad_alloc when it cannot
  // be allocated.
  static korva::Bstr toBstr(const char* text);
  // The same as a VT_BSTR variant.
  static korva::Variant toVariant(const char* text);

 private:
  int logon(const char* apsName, const char* userName, const char* password,
            const char* authentication);
  int loadPlugins();
  // The shared end of a failed operation: a status still at 200 becomes 202,
  // and 600 writes the server's detail text. Answers the new status.
  int settle(int status);
  // The InfoStore's answer to the query that format makes with the numbers
  // (each a "%d"). Ends the running operation through fail(): buildFailure
  // (out of memory unless the caller says otherwise) when the text cannot be
  // built, 202 without an InfoStore, 600 when the server refuses the query.
  korva::Ref<korva::InfoObjects> select(int* status, const wchar_t* format, int32_t first,
                                        int32_t second = 0, int buildFailure = kStatusOutOfMemory);
  // Shared bodies of the folder and report (or system and info object)
  // variants; kind is the word their lines use for the object.
  int getObject(const char* kind, int16_t typeId, const char* name, int32_t parentId, int32_t* id);
  int deleteObject(const char* kind, int16_t typeId, const char* name, int32_t parentId);
  int getObjectById(const wchar_t* query, const char* kind, int32_t id,
                    korva::Ref<korva::InfoObject>* object,
                    korva::Ref<korva::InfoObjects>* collection);
  // Where a user, folder or report being added is looked up: the users
  // (system), or the objects of the type under the parent.
  struct AddedIn {
    bool system;
    int16_t typeId;
    int32_t parentId;
  };
  // The shared end of adding a user, folder or report: commits the list,
  // hands back the object's id and writes the closing line. Ends the running
  // operation through fail() when the commit or the id fails. With lookAgain
  // (a new object), a refused commit first looks the name up there again:
  // when another session stored an object of that name since the lookup, the
  // answer is false and nothing is written, and the caller starts over,
  // finding that object.
  bool commitAdded(const char* kind, const char* name, korva::InfoObjects* list,
                   korva::InfoObject* object, bool updating, const AddedIn* lookAgain, int32_t* id,
                   int* status);
  // Whether an object titled name is there now; reads quietly (no lines)
  // and answers false when the lookup itself fails.
  bool addedMeanwhile(const AddedIn& where, const char* name);
  // A wide constant as a BSTR; throws std::bad_alloc when it cannot be
  // allocated.
  static korva::Bstr wideBstr(const wchar_t* text);
  // A null text as "", for the log lines.
  static const char* text(const char* s) { return s ? s : ""; }
  // Ends the running operation with the given status: records it and unwinds
  // to the operation's catch-all.
  [[noreturn]] static void fail(int* status, int code) {
    *status = code;
    throw code;
  }

  korva::Ref<korva::SessionManager> sessionManager_;
  korva::Ref<korva::Session> session_;
  korva::Ref<korva::InfoStore> infoStore_;
  korva::Ref<korva::DesktopPlugin> userPlugin_;
  korva::Ref<korva::DesktopPlugin> folderPlugin_;
  korva::Ref<korva::DesktopPlugin> reportPlugin_;
  int16_t userTypeId_ = -1;
  int16_t folderTypeId_ = -1;
  int16_t reportTypeId_ = -1;
};

#endif  // KORVA_SERVER_VE_OBJ_V85_H_
