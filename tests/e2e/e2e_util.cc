// Helpers of the end-to-end tests (see e2e_util.h).
#include "e2e/e2e_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "platform/content_digest.h"
#include "platform/module.h"
#include "support/file_sys.h"

namespace e2e {

namespace {

// The name of a "NAME=value" (or "NAME") entry, as the platform compares it.
std::string variableName(const std::string& entry) {
  std::string name = entry.substr(0, entry.find('='));
  if (korva_test::environmentNamesIgnoreCase()) {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return name;
}

}  // namespace

std::vector<std::string> changedEnvironment(const std::vector<std::string>& env) {
  std::vector<std::string> environment = korva_test::currentEnvironment();
  for (const std::string& change : env) {
    const std::string name = variableName(change);
    environment.erase(
        std::remove_if(environment.begin(), environment.end(),
                       [&](const std::string& e) { return variableName(e) == name; }),
        environment.end());
    if (change.find('=') != std::string::npos) environment.push_back(change);
  }
  return environment;
}

ExecLists::ExecLists(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env)
    : environment(changedEnvironment(env)) {
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& env, const std::string& cwd,
                      const std::optional<std::string>& input) {
  TempDir output;
  const fs::path out = output.path() / "stdout";
  const fs::path err = output.path() / "stderr";
  const fs::path in = output.path() / "stdin";
  if (input) writeFile(in, *input);
  korva_test::ChildResult child =
      korva_test::runChild(program, args, changedEnvironment(env), out.string(), err.string(), cwd,
                           input ? in.string() : std::string());
  ProgramRun run;
  run.out = readText(out);
  run.err = readText(err);
  if (child.exited) {
    run.exitCode = child.exitCode;
  } else {
    run.err += program + ": " + child.error;
  }
  return run;
}

std::string binPath(const char* name) {
  return std::string(KORVA_BIN_DIR) + "/" + korva_test::programFileName(name);
}
std::string sourcePath(const char* relative) {
  return std::string(KORVA_SOURCE_DIR) + "/" + relative;
}

std::string connected(const std::string& aps, const std::string& user) {
  return LOG_INFO_PUB "Successfully initialized connection to APS " + aps + " as " + user + ".";
}

std::string addedLine(const std::string& kind, const std::string& name, const std::string& id) {
  return LOG_INFO_PUB "Successfully added " + kind + " " + name + " with id " + id +
         " to Veltrane Enterprise.";
}

std::string updatedLine(const std::string& kind, const std::string& name, const std::string& id) {
  return LOG_INFO_PUB "Successfully updated " + kind + " " + name + " with id " + id +
         " to Veltrane Enterprise.";
}

std::string rightLine(const std::string& right, const std::string& object,
                      const std::string& user) {
  return LOG_INFO_PUB "Successfully set the right to " + right + " on object " + object +
         " for user " + user + ".";
}

std::vector<std::string> publishSummary(const std::string& srcFile, int usersAdded,
                                        int usersUpdated, int usersSkipped, int foldersAdded,
                                        int foldersUpdated, int foldersSkipped, int reportsAdded,
                                        int reportsUpdated, int reportsSkipped) {
  auto n = [](int v) { return std::to_string(v); };
  return {
      LOG_INFO_ACT "Successfully added/updated users, folders, and reports based on " + srcFile +
          ".",
      LOG_INFO_ACT + n(usersAdded) + " users added.",
      LOG_INFO_ACT + n(usersUpdated) + " users updated.",
      LOG_INFO_ACT + n(usersSkipped) + " users skipped.",
      LOG_INFO_ACT + n(foldersAdded) + " folders added.",
      LOG_INFO_ACT + n(foldersUpdated) + " folders updated.",
      LOG_INFO_ACT + n(foldersSkipped) + " folders skipped.",
      LOG_INFO_ACT + n(reportsAdded) + " reports added.",
      LOG_INFO_ACT + n(reportsUpdated) + " reports updated.",
      LOG_INFO_ACT + n(reportsSkipped) + " reports skipped.",
  };
}

std::vector<std::string> deleteSummary(int foldersDeleted, int foldersSkipped, int reportsDeleted,
                                       int reportsSkipped) {
  auto n = [](int v) { return std::to_string(v); };
  return {
      LOG_INFO_ACT "Successfully deleted folder and/or report.",
      LOG_INFO_ACT + n(foldersDeleted) + " folders deleted.",
      LOG_INFO_ACT + n(foldersSkipped) + " folders skipped.",
      LOG_INFO_ACT + n(reportsDeleted) + " reports deleted.",
      LOG_INFO_ACT + n(reportsSkipped) + " reports skipped.",
  };
}

void append(std::vector<std::string>* a, const std::vector<std::string>& b) {
  a->insert(a->end(), b.begin(), b.end());
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

void writeFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string sha256OfFile(const fs::path& path) {
  const std::string bytes = readFile(path);
  korva::Sha256Digest digest;
  if (!digest.update(bytes.data(), bytes.size())) return "";
  return digest.finishHex();
}

// ---- JSON -----------------------------------------------------------------

namespace {

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : text_(text) {}

  Json document() {
    Json value = parseValue();
    skipSpace();
    if (pos_ != text_.size()) fail("trailing text");
    return value;
  }

 private:
  [[noreturn]] void fail(const char* what) {
    throw std::runtime_error(std::string("JSON: ") + what + " at " + std::to_string(pos_));
  }
  void skipSpace() {
    while (pos_ < text_.size() && std::strchr(" \t\r\n", text_[pos_])) ++pos_;
  }
  bool consume(const char* word) {
    size_t n = std::strlen(word);
    if (text_.compare(pos_, n, word) != 0) return false;
    pos_ += n;
    return true;
  }
  void expect(char c) {
    skipSpace();
    if (pos_ >= text_.size() || text_[pos_] != c) fail("unexpected character");
    ++pos_;
  }

  static void appendUtf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  unsigned long hex4() {
    if (pos_ + 4 > text_.size()) fail("short escape");
    unsigned long v = std::stoul(text_.substr(pos_, 4), nullptr, 16);
    pos_ += 4;
    return v;
  }

  std::string parseString() {
    expect('"');
    std::string out;
    while (true) {
      if (pos_ >= text_.size()) fail("unterminated string");
      char c = text_[pos_++];
      if (c == '"') break;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) fail("bad escape");
      char e = text_[pos_++];
      static const char kPlain[] = "\"\\/bfnrt";
      static const char kMeant[] = "\"\\/\b\f\n\r\t";
      if (const char* plain = e ? std::strchr(kPlain, e) : nullptr) {
        out += kMeant[plain - kPlain];
      } else if (e == 'u') {
        unsigned long cp = hex4();
        if (cp >= 0xD800 && cp < 0xDC00 && consume("\\u")) {
          unsigned long low = hex4();
          cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, cp);
      } else {
        fail("bad escape");
      }
    }
    return out;
  }

  Json parseValue() {
    skipSpace();
    if (pos_ >= text_.size()) fail("value expected");
    Json value;
    char c = text_[pos_];
    if (c == '{') {
      value.kind = Json::Kind::Object;
      ++pos_;
      skipSpace();
      if (pos_ < text_.size() && text_[pos_] == '}') {
        ++pos_;
        return value;
      }
      while (true) {
        std::string name = parseString();
        expect(':');
        value.members.emplace_back(name, parseValue());
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == ',') {
          ++pos_;
          continue;
        }
        expect('}');
        return value;
      }
    }
    if (c == '[') {
      value.kind = Json::Kind::Array;
      ++pos_;
      skipSpace();
      if (pos_ < text_.size() && text_[pos_] == ']') {
        ++pos_;
        return value;
      }
      while (true) {
        value.items.push_back(parseValue());
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == ',') {
          ++pos_;
          continue;
        }
        expect(']');
        return value;
      }
    }
    if (c == '"') {
      value.kind = Json::Kind::String;
      value.text = parseString();
      return value;
    }
    if (consume("true")) {
      value.kind = Json::Kind::Bool;
      value.boolean = true;
      return value;
    }
    if (consume("false")) {
      value.kind = Json::Kind::Bool;
      return value;
    }
    if (consume("null")) return value;
    size_t used = 0;
    value.kind = Json::Kind::Number;
    value.number = std::stod(text_.substr(pos_, 40), &used);
    if (used == 0) fail("bad number");
    pos_ += used;
    return value;
  }

  const std::string& text_;
  size_t pos_ = 0;
};

const Json& nullJson() {
  static const Json value;
  return value;
}

}  // namespace

const Json& Json::operator[](const char* name) const {
  for (const auto& member : members) {
    if (member.first == name) return member.second;
  }
  return nullJson();
}

bool Json::has(const char* name) const {
  for (const auto& member : members) {
    if (member.first == name) return true;
  }
  return false;
}

Json parseJson(const std::string& text) { return JsonReader(text).document(); }

// ---- the server -------------------------------------------------------------

ProgramRun ServerHome::tool(const std::vector<std::string>& args) const {
  return runProgram(binPath("korvaserver"), args,
                    {homeEnv(), "KORVA_SERVER_FAULTS", "KORVA_SERVER_PASSWORD"});
}

ProgramRun ServerHome::init(const std::string& apsName, const std::string& password) const {
  std::vector<std::string> args = {"init"};
  if (!apsName.empty()) {
    args.push_back("-apsname");
    args.push_back(apsName);
  }
  if (!password.empty()) {
    args.push_back("-password");
    args.push_back(password);
  }
  return tool(args);
}

Json ServerHome::dump(const std::string& apsName) const {
  std::vector<std::string> args = {"dump"};
  if (!apsName.empty()) {
    args.push_back("-apsname");
    args.push_back(apsName);
  }
  ProgramRun run = tool(args);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  try {
    return parseJson(run.out);
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what() << "\n" << run.out;
    return Json();
  }
}

const Json* findUser(const Json& dump, const std::string& name) {
  for (const Json& user : dump["users"].items) {
    if (user["name"].text == name) return &user;
  }
  return nullptr;
}

const Json* findObject(const Json& dump, const std::string& type, const std::string& title,
                       int64_t parentId) {
  for (const Json& object : dump["objects"].items) {
    if (object["type"].text == type && object["title"].text == title &&
        object["parentId"].integer() == parentId) {
      return &object;
    }
  }
  return nullptr;
}

int64_t folderIdAt(const Json& dump, const std::string& path) {
  int64_t id = 0;
  std::string rest = path;
  while (!rest.empty()) {
    std::string::size_type slash = rest.find('/');
    std::string name = rest.substr(0, slash);
    rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
    const Json* folder = findObject(dump, "Folder", name, id);
    if (!folder) return -1;
    id = (*folder)["id"].integer();
  }
  return id;
}

int64_t reportIdAt(const Json& dump, const std::string& folderPath, const std::string& title) {
  int64_t parent = folderIdAt(dump, folderPath);
  const Json* report = parent < 0 ? nullptr : findObject(dump, "Report", title, parent);
  return report ? (*report)["id"].integer() : -1;
}

int64_t userIdOf(const Json& dump, const std::string& name) {
  const Json* user = findUser(dump, name);
  return user ? (*user)["id"].integer() : -1;
}

std::vector<std::pair<int64_t, int64_t>> rightsOf(const Json& object) {
  std::vector<std::pair<int64_t, int64_t>> rights;
  for (const Json& right : object["rights"].items) {
    rights.emplace_back(right["userId"].integer(), right["role"].integer());
  }
  return rights;
}

std::vector<std::string> listingOrder(const fs::path& dir) {
  SIArray<FileProp> entries;
  SFileSys::listing(SAnsiString(dir.string().c_str()), SAnsiString("*"), entries);
  std::vector<std::string> names;
  for (int i = 0; i < entries.getCount(); ++i) names.emplace_back(entries[i].name.getBuffer());
  return names;
}

void copyExampleTree(const fs::path& dir) {
  fs::create_directories(dir);
  fs::copy(sourcePath("examples/reports"), dir, fs::copy_options::recursive);
}

std::vector<std::string> contentOf(const Json& dump, const std::string& top) {
  std::map<int64_t, std::string> names;
  std::vector<std::string> lines;
  for (const Json& u : dump["users"].items) {
    names[u["id"].integer()] = u["name"].text;
    if (u["name"].text == "Administrator") continue;
    lines.push_back("User " + u["name"].text + ", full name " + u["fullName"].text +
                    ", description " + u["description"].text + ", licence " +
                    std::to_string(u["licenseType"].integer()) +
                    (u["hasPassword"].boolean ? ", password" : ""));
  }
  std::map<int64_t, const Json*> objects;
  for (const Json& o : dump["objects"].items) objects[o["id"].integer()] = &o;
  const std::function<std::string(int64_t)> pathOf = [&](int64_t id) -> std::string {
    if (id == 0) return "";
    const Json& o = *objects.at(id);
    const std::string parent = pathOf(o["parentId"].integer());
    return parent.empty() ? o["title"].text : parent + "\\" + o["title"].text;
  };
  const size_t cut = top.rfind('\\') == std::string::npos ? 0 : top.rfind('\\') + 1;
  for (const Json& o : dump["objects"].items) {
    const std::string path = pathOf(o["id"].integer());
    if (!top.empty() && path != top && path.compare(0, top.size() + 1, top + "\\") != 0) continue;
    std::string line =
        o["type"].text + " " + path.substr(cut) + ", description " + o["description"].text;
    if (o.has("reportType")) {
      const Json& file = o["file"];
      line += ", icon " + o["reportType"].text + (o["thumbnail"].boolean ? ", thumbnail" : "") +
              ", file " + file["name"].text + " " + std::to_string(file["size"].integer()) + " " +
              file["sha256"].text;
    }
    std::vector<std::string> rights;
    for (const Json& r : o["rights"].items) {
      rights.push_back(names[r["userId"].integer()] + " " + std::to_string(r["role"].integer()));
    }
    std::sort(rights.begin(), rights.end());
    for (const std::string& right : rights) line += ", right " + right;
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace e2e
