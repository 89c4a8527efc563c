// What an operation of the network server answers: the HTTP status and the
// JSON body (wire_protocol.h), or a body streamed while the answer is sent,
// and for the request log the user and the result ("ok", or "<status>
// <code>: <description>").
//
// Thread-safety: a plain value; a streamed body is used by the thread that
// sends its answer.
// Ownership: a reply shares its streamed body, which keeps what it needs (a
// session's lease) until the last reply holding it goes.
#ifndef KORVA_REPORTSERVER_SERVE_SERVICE_REPLY_H_
#define KORVA_REPORTSERVER_SERVE_SERVICE_REPLY_H_

#include <memory>
#include <string>

#include "reportserver/serve/body_reader.h"
#include "reportserver/store/store_status.h"

namespace korva {

// A body written after the operation returned, while its answer is sent (a
// report's file): status 200, Content-Type wire::kFileContentType.
class StreamedBody {
 public:
  virtual ~StreamedBody() = default;
  // Writes the body in pieces through write (false: the peer is gone).
  // False when the answer must break off: what went out is not the whole
  // body.
  virtual bool send(const BodySink& write) = 0;
  // The result for the request log; sent: whether the answer went out whole.
  virtual std::string result(bool sent) const = 0;
};

struct ServiceReply {
  int status = 200;
  std::string body;
  std::string user;  // "" when the request names none
  std::string result;
  std::shared_ptr<StreamedBody> streamed;  // set: the body, instead of body

  // 200 with the operation's answer.
  static ServiceReply answer(std::string body, std::string user);
  // 200 with a body streamed as the answer is sent.
  static ServiceReply stream(std::shared_ptr<StreamedBody> body, std::string user);
  // The error body of a failure with the status (200: the store's refusal).
  static ServiceReply failure(int status, const StoreStatus& failure, std::string user = "");

  // The result of a status with that answer: "ok" for success.
  static std::string resultOf(int status, const StoreStatus& outcome);
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_SERVICE_REPLY_H_
