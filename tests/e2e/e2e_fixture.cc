// The shared fixture of the end-to-end tests (see e2e_fixture.h).
#include "e2e/e2e_fixture.h"

namespace e2e {

void E2ETest::SetUp() {
  fs::create_directories(work() / "servers");
  fs::create_directories(work() / "tmp");
  ProgramRun init = server_.init(kAps);
  ASSERT_EQ(init.exitCode, 0) << init.out << init.err;
  copyExampleTree(tree());
}

void PublishedExampleTest::SetUp() {
  E2ETest::SetUp();
  if (HasFatalFailure()) return;
  ProgramRun run = push(examplePublishXml(), tree().string());
  ASSERT_EQ(run.exitCode, 0) << run.out;
}

std::vector<std::string> E2ETest::environment(const std::vector<std::string>& env) const {
  std::vector<std::string> all = {
      server_.homeEnv(),
      std::string(korva_test::temporaryDirectoryVariable()) + "=" + (work() / "tmp").string(),
      "KORVA_SERVER_FAULTS", "KORVA_SERVER_PLUGINS"};
  all.insert(all.end(), env.begin(), env.end());
  return all;
}

ProgramRun E2ETest::push(const std::string& srcFile, const std::string& srcPath,
                         const std::vector<std::string>& more,
                         const std::vector<std::string>& env) const {
  std::vector<std::string> args = {"-apsname", kAps, "-srcfile", srcFile, "-srcpath", srcPath};
  args.insert(args.end(), more.begin(), more.end());
  return runProgram(binPath("korvapush"), args, environment(env));
}

ProgramRun E2ETest::drop(const std::vector<std::string>& more,
                         const std::vector<std::string>& env) const {
  std::vector<std::string> args = {"-apsname", kAps};
  args.insert(args.end(), more.begin(), more.end());
  return runProgram(binPath("korvadrop"), args, environment(env));
}

void appendWalkLines(std::vector<std::string>* out, const fs::path& top,
                     const std::function<std::vector<std::string>(const std::string&)>& lines,
                     const std::function<bool(const std::string&)>& enter,
                     const std::string& relative) {
  fs::path dir = relative.empty() ? top : top / relative;
  for (const std::string& name : listingOrder(dir)) {
    std::string path = relative.empty() ? name : relative + "/" + name;
    append(out, lines(path));
    if (fs::is_directory(dir / name) && enter(path)) {
      appendWalkLines(out, top, lines, enter, path);
    }
  }
}

void appendWalkLines(std::vector<std::string>* out, const fs::path& top,
                     const std::map<std::string, std::vector<std::string>>& byPath,
                     const std::function<bool(const std::string&)>& enter) {
  appendWalkLines(
      out, top,
      [&](const std::string& path) -> std::vector<std::string> {
        auto it = byPath.find(path);
        return it != byPath.end() ? it->second : std::vector<std::string>{"unexpected entry " + path};
      },
      enter);
}

}  // namespace e2e
