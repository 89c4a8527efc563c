// Replies of the network server's operations.
#include "reportserver/serve/service_reply.h"

#include <utility>

#include "reportserver/wire/wire_messages.h"

namespace korva {

ServiceReply ServiceReply::answer(std::string body, std::string user) {
  ServiceReply r;
  r.body = std::move(body);
  r.user = std::move(user);
  r.result = "ok";
  return r;
}

ServiceReply ServiceReply::stream(std::shared_ptr<StreamedBody> body, std::string user) {
  ServiceReply r;
  r.streamed = std::move(body);
  r.user = std::move(user);
  return r;
}

ServiceReply ServiceReply::failure(int status, const StoreStatus& failure, std::string user) {
  ServiceReply r;
  r.status = status;
  r.body = wire::errorAnswerBody(failure);
  r.user = std::move(user);
  r.result = resultOf(status, failure);
  return r;
}

std::string ServiceReply::resultOf(int status, const StoreStatus& outcome) {
  if (outcome.ok()) return "ok";
  return std::to_string(status) + " " + wire::statusCodeName(outcome.code) + ": " +
         outcome.description;
}

}  // namespace korva
