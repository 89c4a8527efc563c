// SFileSysException: the one exception the file-system helpers throw. It
// carries a message type, an error category, the paths concerned, the
// system's error text and the name of the operation that failed; the message
// text is built from the type's template only when asked for.
//
// Thread-safety: a value is used by one thread at a time.
// Ownership: plain value; copies share their string blocks.
#ifndef KORVA_SUPPORT_FILE_SYS_EXCEPTION_H_
#define KORVA_SUPPORT_FILE_SYS_EXCEPTION_H_

#include <exception>
#include <string>

#include "support/sstring.h"

class SFileSysException : public std::exception {
 public:
  // Error categories (code()).
  enum Code {
    kOutOfMemory = 0,
    kNotFound = 1,
    kInvalidArgument = 2,
    kAccessDenied = 4,
    kOtherError = 6,
  };

  // Message types (type()); each selects a message template.
  enum Type {
    kTypeOutOfMemory = 0,
    kTypeCreateDirectory = 1,
    kTypeFileNotFound = 2,
    kTypeGetAttributes = 3,
    kTypeRemove = 4,
    kTypeCopy = 5,
    kTypeDoesNotExist = 6,
    kTypeGetStatus = 7,
    kTypeRemoveFile = 8,
    kTypeSetAttributes = 9,
    kTypeFileSize = 10,
    kTypeUniqueName = 11,
    kTypeDiskStatistics = 12,
    kTypeRename = 13,
    kTypeSetCurrentDirectory = 15,
    kTypeChangeOwner = 16,
  };

  SFileSysException(int type, int code, const SAnsiString& path, const SAnsiString& reason,
                    const SAnsiString& operation, const SAnsiString& secondPath = SAnsiString());
  // The category and text of a C error number.
  static SFileSysException fromErrno(int type, int error, const SAnsiString& path,
                                     const SAnsiString& operation);

  // Category of a C error number: EPERM, EACCES 4; ENOENT 1; ENOMEM 0;
  // EINVAL, ENAMETOOLONG 2; anything else 6.
  static int codeFromErrno(int error);
  // Category of a Windows system error code: 2, 3, 15, 18, 53, 67, 161, 206
  // give 1; 5 gives 4; 1816 gives 0; anything else 6.
  static int codeFromSystemError(unsigned long error);

  ~SFileSysException() override;

  // The type's template with %1.. replaced by the path, reason (and second path).
  virtual SAnsiString message() const;
  // message() + ", " + operation.
  virtual SAnsiString messageWithOperation() const;
  // The message with the operation, for catchers of std::exception.
  const char* what() const noexcept override;

  int type() const { return type_; }
  int code() const { return code_; }
  const SAnsiString& path() const { return path_; }
  const SAnsiString& reason() const { return reason_; }
  const SAnsiString& secondPath() const { return secondPath_; }
  const SAnsiString& operation() const { return operation_; }

 private:
  int type_;
  int code_;
  SAnsiString path_;
  SAnsiString reason_;
  SAnsiString secondPath_;
  SAnsiString operation_;
  mutable std::string what_;
};

#endif  // KORVA_SUPPORT_FILE_SYS_EXCEPTION_H_
