// SFileSysException: categories from error numbers and the message templates.
#include "support/file_sys_exception.h"

#include <cerrno>

#include "platform/filesys.h"

namespace {

const char* messageTemplate(int type) {
  switch (type) {
    case 0:
      return "System is out of memory.";
    case 1:
      return "Fail to create directory structure in file system operation on file %1.  "
             "Reason given: %2";
    case 2:
      return "File not found";
    case 3:
      return "Fail to get file attributes from operating system in file system operation on "
             "file %1.  Reason given: %2";
    case 4:
    case 8:
      return "Failed to remove the file %1 in a file system operation. Please check access "
             "rights or for a sharing violation.  Reason: %2";
    case 5:
      return "Failed to copy the file %1 to %2 in file system operation. Please check access "
             "rights. Reason given: %3";
    case 6:
      return "The file %1 does not exist.  File system operation failed. Reason give: %2";
    case 7:
      return "Fail to get status of file from operating system in file system operation on "
             "file %1.  Reason given: %2";
    case 9:
      return "Fail to set file attributes in file system operation on file %1.  Reason given: %2";
    case 10:
      return "Failed to determine the size of the file %1 in file system operation. Reason: %2";
    case 11:
      return "Failed to generate a unique filename in dir %1. Reason: %2";
    case 12:
      return "Failed to retrieve disk statistics from %1. Reason: %2";
    case 13:
      return "Failed to rename %1 to %2. Reason: %3";
    case 15:
      return "Failed to set current directory to %1.  Reason: %2";
    case 16:
      return "Failed to change ownership to %1.  Reason: %2";
    default:
      return "Unknown error in file system operation on file %1. Reason: %2";
  }
}

// Replaces %1..%n by the texts in order; a placeholder without a text, or any
// other "%", stays as it is.
SAnsiString format(const char* text, const SAnsiString* args, int count) {
  SAnsiString out;
  const char* run = text;
  const char* p = text;
  while (*p != '\0') {
    if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
      int index = 0;
      const char* digits = p + 1;
      while (*digits >= '0' && *digits <= '9' && index < 100) {
        index = index * 10 + (*digits - '0');
        ++digits;
      }
      if (index >= 1 && index <= count) {
        out.append(run, static_cast<int>(p - run));
        out += args[index - 1];
        p = digits;
        run = p;
        continue;
      }
    }
    ++p;
  }
  out.append(run, static_cast<int>(p - run));
  return out;
}

}  // namespace

SFileSysException::SFileSysException(int type, int code, const SAnsiString& path,
                                     const SAnsiString& reason, const SAnsiString& operation,
                                     const SAnsiString& secondPath)
    : type_(type),
      code_(code),
      path_(path),
      reason_(reason),
      secondPath_(secondPath),
      operation_(operation) {}

SFileSysException::~SFileSysException() = default;

SFileSysException SFileSysException::fromErrno(int type, int error, const SAnsiString& path,
                                               const SAnsiString& operation) {
  return SFileSysException(type, codeFromErrno(error), path,
                           SAnsiString(korva::errorText(error).c_str()), operation);
}

int SFileSysException::codeFromErrno(int error) {
  switch (error) {
    case EPERM:
    case EACCES:
      return kAccessDenied;
    case ENOENT:
      return kNotFound;
    case ENOMEM:
      return kOutOfMemory;
    case EINVAL:
    case ENAMETOOLONG:
      return kInvalidArgument;
    default:
      return kOtherError;
  }
}

int SFileSysException::codeFromSystemError(unsigned long error) {
  switch (error) {
    case 2:    // file not found
    case 3:    // path not found
    case 15:   // invalid drive
    case 18:   // no more files
    case 53:   // bad network path
    case 67:   // bad network name
    case 161:  // bad path name
    case 206:  // file name too long
      return kNotFound;
    case 5:  // access denied
      return kAccessDenied;
    case 1816:  // not enough quota
      return kOutOfMemory;
    default:
      return kOtherError;
  }
}

SAnsiString SFileSysException::message() const {
  if (type_ == 5 || type_ == 13) {
    const SAnsiString args[] = {path_, secondPath_, reason_};
    return format(messageTemplate(type_), args, 3);
  }
  const SAnsiString args[] = {path_, reason_};
  return format(messageTemplate(type_), args, 2);
}

SAnsiString SFileSysException::messageWithOperation() const {
  SAnsiString out = message();
  out += ", ";
  out += operation_;
  return out;
}

const char* SFileSysException::what() const noexcept {
  try {
    if (what_.empty()) what_ = messageWithOperation().getBuffer();
    return what_.c_str();
  } catch (...) {
    return "file system operation failed";
  }
}
