// Fuzz target: the network server's request parser (the wire format's
// request readers). The input is a request body, read as logon, query,
// commit, snapshot and download request alike; then as a commit with files
// sent with it: the bytes after the input's first NUL are those files (the
// NUL itself is dropped), their count the request's sent parameter.
//
// Expectations: nothing throws or crashes; a refused body has a description
// of the refusal's form; an accepted one, written out again, is read back
// and written out to the same text.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "reportserver/wire/wire_messages.h"

namespace {

namespace wire = korva::wire;

const std::vector<korva::PluginInfo> kPlugins = {{1, 16, "User", korva::PluginKind::User},
                                                 {2, 1, "Folder", korva::PluginKind::Folder},
                                                 {3, 2, "Report", korva::PluginKind::Report}};

// The one file "uploaded": its id is its path.
bool pathOf(const std::string& id, std::string* path) {
  if (id != "f1") return false;
  *path = id;
  return true;
}
std::string idOf(const std::string& path) { return path; }

void checkRefusal(const std::string& error) {
  FUZZ_CHECK(error.rfind("The request is malformed: ", 0) == 0 && error.back() == '.', error);
}

// Reads body as a commit whose last sentBytes bytes are files sent with it;
// an accepted one is written out again (the sent files under paths of their
// own), read back and written out to the same text.
void checkCommitWithFiles(const std::string& body, uint64_t sentBytes) {
  std::vector<korva::ObjectChange> changes;
  std::map<size_t, wire::ReceivedFile> received;
  int64_t mark = 0;
  std::string error;
  if (!wire::readCommitRequest(body, kPlugins, pathOf, &changes, &mark, &error, sentBytes,
                               &received)) {
    checkRefusal(error);
    return;
  }
  uint64_t total = 0;
  std::map<std::string, wire::SentFile> files;
  for (const auto& [index, file] : received) {
    FUZZ_CHECK(index < changes.size() && !changes[index].pending.filePath, "sent file's change");
    const std::string path = "sent:" + std::to_string(index);
    changes[index].pending.filePath = path;
    files[path] = wire::SentFile{file.name, std::string(file.bytes)};
    total += file.bytes.size();
  }
  FUZZ_CHECK(total == sentBytes, "sent bytes");
  const wire::SentFileOf sentFileOf = [&files](const std::string& path) -> const wire::SentFile* {
    auto it = files.find(path);
    return it == files.end() ? nullptr : &it->second;
  };
  uint64_t again = 0;
  const std::string text = wire::commitRequestBody(changes, mark, idOf, sentFileOf, &again);
  FUZZ_CHECK(again == sentBytes, "sent bytes written");
  std::vector<korva::ObjectChange> back;
  std::map<size_t, wire::ReceivedFile> receivedBack;
  FUZZ_CHECK(
      wire::readCommitRequest(text, kPlugins, pathOf, &back, &mark, &error, again, &receivedBack),
      error);
  FUZZ_CHECK(receivedBack.size() == received.size(), "sent files read back");
  for (const auto& [index, file] : receivedBack) {
    back[index].pending.filePath = "sent:" + std::to_string(index);
  }
  FUZZ_CHECK(wire::commitRequestBody(back, mark, idOf, sentFileOf) == text,
             "commit with files round trip");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  std::string error;

  korva::LogonRequest logon;
  if (wire::readLogonRequest(body, &logon, &error)) {
    const std::string again = wire::logonRequestBody(logon);
    korva::LogonRequest back;
    FUZZ_CHECK(wire::readLogonRequest(again, &back, &error), error);
    FUZZ_CHECK(wire::logonRequestBody(back) == again, "logon round trip");
  } else {
    checkRefusal(error);
  }

  korva::ParsedQuery query;
  if (wire::readQueryRequest(body, &query, &error)) {
    const std::string again = wire::queryRequestBody(query);
    korva::ParsedQuery back;
    FUZZ_CHECK(wire::readQueryRequest(again, &back, &error), error);
    FUZZ_CHECK(back.terms == query.terms && back.systemObjects == query.systemObjects,
               "query round trip");
  } else {
    checkRefusal(error);
  }

  std::vector<korva::ObjectChange> changes;
  int64_t mark = 0;
  if (wire::readCommitRequest(body, kPlugins, pathOf, &changes, &mark, &error)) {
    const std::string again = wire::commitRequestBody(changes, mark, idOf);
    std::vector<korva::ObjectChange> back;
    int64_t markBack = 0;
    FUZZ_CHECK(wire::readCommitRequest(again, kPlugins, pathOf, &back, &markBack, &error), error);
    FUZZ_CHECK(wire::commitRequestBody(back, markBack, idOf) == again, "commit round trip");
  } else {
    checkRefusal(error);
  }

  const size_t nul = body.find('\0');
  if (nul == std::string::npos) {
    checkCommitWithFiles(body, 0);
  } else {
    checkCommitWithFiles(body.substr(0, nul) + body.substr(nul + 1), body.size() - nul - 1);
  }

  if (!wire::readSnapshotRequest(body, &error)) checkRefusal(error);

  int32_t reportId = 0;
  if (wire::readDownloadRequest(body, &reportId, &error)) {
    int32_t back = 0;
    FUZZ_CHECK(wire::readDownloadRequest(wire::downloadRequestBody(reportId), &back, &error) &&
                   back == reportId,
               "download round trip");
  } else {
    checkRefusal(error);
  }
  return 0;
}
