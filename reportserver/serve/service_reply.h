// What an operation of the network server answers: the HTTP status and the
// JSON body (wire_protocol.h), and for the request log the user and the
// result ("ok", or "<status> <code>: <description>").
//
// Thread-safety: a plain value.
#ifndef KORVA_REPORTSERVER_SERVE_SERVICE_REPLY_H_
#define KORVA_REPORTSERVER_SERVE_SERVICE_REPLY_H_

#include <string>

#include "reportserver/store/store_status.h"

namespace korva {

struct ServiceReply {
  int status = 200;
  std::string body;
  std::string user;  // "" when the request names none
  std::string result;

  // 200 with the operation's answer.
  static ServiceReply answer(std::string body, std::string user);
  // The error body of a failure with the status (200: the store's refusal).
  static ServiceReply failure(int status, const StoreStatus& failure, std::string user = "");
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_SERVICE_REPLY_H_
