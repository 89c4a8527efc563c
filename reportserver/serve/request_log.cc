// The request log's lines.
#include "reportserver/serve/request_log.h"

#include <ctime>

#include "platform/log_file.h"
#include "platform/visible_text.h"
#include "support/log_stamp.h"

namespace korva {

namespace {

std::string visible(const std::string& text) {
  return visibleText(text, TextEncoding::kUtf8, EscapeStyle::kLog);
}

}  // namespace

void RequestLog::request(const std::string& peer, const std::string& user,
                         const std::string& operation, const std::string& result) {
  const std::string who =
      user.empty() ? "-" : "\"" + visibleText(user, TextEncoding::kUtf8, EscapeStyle::kJson) + "\"";
  write(visible(peer) + " " + who + " " + visible(operation) + " " + visible(result));
}

void RequestLog::note(const std::string& text) { write(visible(text)); }

void RequestLog::write(const std::string& text) {
  const std::string line = logTimeStamp(std::time(nullptr)) + " - " + text + "\n";
  std::lock_guard<std::mutex> lock(mutex_);
  writeLogText(out_, line.data(), line.size());
}

}  // namespace korva
