// The request and answer bodies of the protocol.
#include "reportserver/wire/wire_messages.h"

#include <exception>
#include <optional>
#include <utility>

#include "reportserver/wire/json_fields.h"
#include "reportserver/wire/record_json.h"

namespace korva {
namespace wire {

namespace {

const FieldPath kRoot;

// Runs a request's reader; false with *error set when it throws.
template <typename Read>
bool readRequest(std::string_view body, std::string* error, Read read) {
  try {
    const Json message = parseMessage(body);
    read(objectAt(message, kRoot));
    return true;
  } catch (const MalformedValue& e) {
    *error = std::string("The request is malformed: ") + e.what() + ".";
  } catch (const std::exception& e) {
    *error = std::string("The request could not be read: ") + e.what() + ".";
  }
  return false;
}

// Runs an answer's reader on a body that is not an error body; the error
// body's status otherwise.
template <typename Read>
StoreStatus readAnswer(const std::string& body, Read read) {
  try {
    const Json message = parseMessage(body);
    const Json& o = objectAt(message, kRoot);
    if (const Json* error = optionalMember(o, "error")) {
      return statusFrom(*error, kRoot.member("error"));
    }
    read(o);
    return StoreStatus::success();
  } catch (const MalformedValue& e) {
    return StoreStatus::failed(std::string("The report server's answer is malformed: ") + e.what() +
                               ".");
  } catch (const std::exception& e) {
    return StoreStatus::failed(std::string("The report server's answer could not be read: ") +
                               e.what() + ".");
  }
}

// Items written one by one into a list.
template <typename T, typename Write>
Json listJson(const std::vector<T>& items, Write write) {
  Json list = Json::array();
  for (const T& item : items) list.push_back(write(item));
  return list;
}

// The list member of the message, each item read by read(item, its path).
template <typename Read>
auto listMember(const Json& message, const char* name, Read read)
    -> std::vector<decltype(read(message, kRoot))> {
  const FieldPath path = kRoot.member(name);
  const Json& list = arrayAt(requiredMember(message, name, kRoot), path);
  std::vector<decltype(read(message, kRoot))> items;
  items.reserve(list.size());
  for (size_t i = 0; i < list.size(); ++i) items.push_back(read(list[i], path.item(i)));
  return items;
}

}  // namespace

std::string logonRequestBody(const LogonRequest& request) {
  return writeMessage({{"user", request.user},
                       {"password", request.password},
                       {"authentication", request.authentication}});
}

bool readLogonRequest(const std::string& body, LogonRequest* out, std::string* error) {
  return readRequest(body, error, [&](const Json& o) {
    LogonRequest r;
    r.user = textMember(o, "user", kRoot);
    r.password = textMember(o, "password", kRoot);
    r.authentication = textMember(o, "authentication", kRoot);
    *out = std::move(r);
  });
}

std::string queryRequestBody(const ParsedQuery& query) {
  return writeMessage({{"query", queryJson(query)}});
}

bool readQueryRequest(const std::string& body, ParsedQuery* out, std::string* error) {
  return readRequest(body, error, [&](const Json& o) {
    *out = queryFrom(requiredMember(o, "query", kRoot), kRoot.member("query"));
  });
}

std::string commitRequestBody(const std::vector<ObjectChange>& changes, int64_t readMark,
                              const UploadIdOf& uploadIdOf, const SentFileOf& sentFileOf,
                              uint64_t* sentBytes) {
  Json list = Json::array();
  std::vector<const SentFile*> files;
  for (const ObjectChange& c : changes) {
    list.push_back(changeJson(c, uploadIdOf, sentFileOf));
    const SentFile* sent =
        sentFileOf && c.pending.filePath ? sentFileOf(*c.pending.filePath) : nullptr;
    if (sent) files.push_back(sent);
  }
  std::string body = writeMessage({{"readMark", readMark}, {"changes", std::move(list)}});
  const size_t json = body.size();
  for (const SentFile* file : files) body += file->bytes;
  if (sentBytes) *sentBytes = body.size() - json;
  return body;
}

bool readCommitRequest(const std::string& body, const std::vector<PluginInfo>& plugins,
                       const UploadPathOf& uploadPathOf, std::vector<ObjectChange>* changes,
                       int64_t* readMark, std::string* error, uint64_t sentBytes,
                       std::map<size_t, ReceivedFile>* sentFiles) {
  if (sentBytes > body.size()) {
    *error = "The request is malformed: it is shorter than the " + std::to_string(sentBytes) +
             " bytes of files it says it sends.";
    return false;
  }
  const std::string_view whole(body);
  const size_t json = body.size() - static_cast<size_t>(sentBytes);
  return readRequest(whole.substr(0, json), error, [&](const Json& o) {
    const int64_t mark = numberMember<int64_t>(o, "readMark", kRoot);
    const FieldPath listPath = kRoot.member("changes");
    const Json& list = arrayAt(requiredMember(o, "changes", kRoot), listPath);
    std::vector<ObjectChange> read;
    std::map<size_t, ReceivedFile> files;
    size_t at = json;
    read.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
      std::optional<SentFileHead> sent;
      read.push_back(changeFrom(list[i], listPath.item(i), plugins, uploadPathOf,
                                sentFiles ? &sent : nullptr));
      if (!sent) continue;
      if (sent->size > body.size() - at) {
        throw MalformedValue("the files sent with the commit are shorter than its changes say");
      }
      files[i] =
          ReceivedFile{std::move(sent->name), whole.substr(at, static_cast<size_t>(sent->size))};
      at += static_cast<size_t>(sent->size);
    }
    if (at != body.size()) {
      throw MalformedValue("the files sent with the commit are longer than its changes say");
    }
    *changes = std::move(read);
    *readMark = mark;
    if (sentFiles) *sentFiles = std::move(files);
  });
}

std::string logonAnswerBody(const std::string& token, const SessionFacts& facts) {
  return writeMessage({{"token", token}, {"facts", factsJson(facts)}});
}

StoreStatus readLogonAnswer(const std::string& body, std::string* token, SessionFacts* facts) {
  return readAnswer(body, [&](const Json& o) {
    std::string t = textMember(o, "token", kRoot);
    *facts = factsFrom(requiredMember(o, "facts", kRoot), kRoot.member("facts"));
    *token = std::move(t);
  });
}

std::string queryAnswerBody(const QueryResult& result) {
  static const std::vector<ObjectHead> kNone;
  const std::vector<ObjectHead>& heads = result.rows ? result.rows->heads : kNone;
  return writeMessage({{"readMark", result.readMark}, {"heads", listJson(heads, headJson)}});
}

StoreStatus readQueryAnswer(const std::string& body, QueryResult* result) {
  return readAnswer(body, [&](const Json& o) {
    const int64_t mark = numberMember<int64_t>(o, "readMark", kRoot);
    auto rows = std::make_shared<AnswerRows>();
    rows->heads = listMember(o, "heads", headFrom);
    result->rows = std::move(rows);
    result->readMark = mark;
  });
}

std::string uploadAnswerBody(const std::string& uploadId) {
  return writeMessage({{"file", uploadId}});
}

StoreStatus readUploadAnswer(const std::string& body, std::string* uploadId) {
  return readAnswer(body, [&](const Json& o) { *uploadId = textMember(o, "file", kRoot); });
}

std::string commitAnswerBody(const std::vector<ObjectRecord>& stored) {
  return writeMessage({{"stored", listJson(stored, recordJson)}});
}

StoreStatus readCommitAnswer(const std::string& body, std::vector<ObjectRecord>* stored) {
  return readAnswer(body, [&](const Json& o) { *stored = listMember(o, "stored", recordFrom); });
}

std::string snapshotRequestBody() { return "{}"; }

bool readSnapshotRequest(const std::string& body, std::string* error) {
  return readRequest(body, error, [](const Json&) {});
}

std::string snapshotAnswerBody(const RepositorySnapshot& s) {
  return writeMessage({{"aps", s.aps},
                       {"plugins", listJson(s.plugins, pluginJson)},
                       {"users", listJson(s.users, recordJson)},
                       {"objects", listJson(s.objects, recordJson)},
                       {"rights", listJson(s.rights, rightJson)}});
}

StoreStatus readSnapshotAnswer(const std::string& body, RepositorySnapshot* snapshot) {
  return readAnswer(body, [&](const Json& o) {
    RepositorySnapshot s;
    s.aps = textMember(o, "aps", kRoot);
    s.plugins = listMember(o, "plugins", pluginFrom);
    s.users = listMember(o, "users", recordFrom);
    s.objects = listMember(o, "objects", recordFrom);
    s.rights = listMember(o, "rights", rightFrom);
    *snapshot = std::move(s);
  });
}

std::string downloadRequestBody(int32_t reportId) { return writeMessage({{"report", reportId}}); }

bool readDownloadRequest(const std::string& body, int32_t* reportId, std::string* error) {
  return readRequest(body, error,
                     [&](const Json& o) { *reportId = numberMember<int32_t>(o, "report", kRoot); });
}

std::string downloadFileLine(const StoredFile& file) {
  return writeMessage({{"file", storedFileJson(file)}}) + "\n";
}

std::string downloadRefusalLine(const StoreStatus& failure) {
  return errorAnswerBody(failure) + "\n";
}

StoreStatus readDownloadLine(const std::string& line, StoredFile* file) {
  return readAnswer(line, [&](const Json& o) {
    *file = storedFileFrom(requiredMember(o, "file", kRoot), kRoot.member("file"));
  });
}

std::string emptyAnswerBody() { return "{}"; }

std::string errorAnswerBody(const StoreStatus& status) {
  return writeMessage({{"error", statusJson(status)}});
}

StoreStatus readErrorAnswer(const std::string& body) {
  StoreStatus status =
      readAnswer(body, [](const Json&) { throw MalformedValue("the message carries no error"); });
  return status;
}

std::string withSessionLine(const std::string& token, const std::string& request) {
  return token + "\n" + request;
}

void splitSessionLine(const std::string& body, std::string* token, std::string* request) {
  const size_t end = body.find('\n');
  if (end == std::string::npos || end >= kMaxSessionLine) {
    token->clear();
    *request = body;
    return;
  }
  *token = body.substr(0, end);
  *request = body.substr(end + 1);
}

}  // namespace wire
}  // namespace korva
