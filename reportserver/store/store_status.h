// The answer of a store operation: success, or a failure of one of the kinds
// the session's objects tell their client apart, with its description (a
// full sentence, UTF-8).
//
// Thread-safety: a plain value.
#ifndef KORVA_REPORTSERVER_STORE_STORE_STATUS_H_
#define KORVA_REPORTSERVER_STORE_STORE_STATUS_H_

#include <string>
#include <utility>

namespace korva {

struct StoreStatus {
  enum class Code {
    Ok,
    Failed,      // the repository could not do it (or a check refused the change)
    Denied,      // the user may not: a wrong logon, a missing right
    BadRequest,  // the request itself is wrong: an unknown name, a malformed text
  };
  Code code = Code::Ok;
  std::string description;

  bool ok() const { return code == Code::Ok; }

  static StoreStatus success() { return {}; }
  static StoreStatus failed(std::string text) { return {Code::Failed, std::move(text)}; }
  static StoreStatus denied(std::string text) { return {Code::Denied, std::move(text)}; }
  static StoreStatus badRequest(std::string text) { return {Code::BadRequest, std::move(text)}; }
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_STORE_STATUS_H_
