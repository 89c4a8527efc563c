// korvaserver: the embedded report server's admin program.
//   korvaserver init  [-apsname N] [-password P]   create a repository
//   korvaserver tree  [-apsname N] [-user U]       folders and reports
//   korvaserver users [-apsname N] [-user U]       users and their rights
//   korvaserver dump  [-apsname N] [-user U]       everything, as JSON
//   korvaserver serve -apsname N [-listen HOST:PORT] [-cert FILE -key FILE]
//                                                  serve it over HTTPS
//   korvaserver export [-apsname N] [-user U [-password P]] [-folder 'A\B'] -out DIR
//                                                  its content, for korvapush
//                                                  to publish elsewhere
// The APS name defaults to the local host's name as the engine resolves it
// (serve needs it named). Without -user the views and export read the local
// repository whole; with -user they log on as that user (-password P) to the
// APS, a local repository or a report server HOST:PORT, and show what the
// user may see.
// The password (the Administrator's of init, the user's of -user): -password
// P, or with "-password -" the first line of standard input, else
// $KORVA_SERVER_PASSWORD, else none; so that it need not stand in the
// process list.
// Output goes to standard output; errors to standard error with exit code 1.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file_name_utf8.h"
#include "platform/net.h"
#include "platform/server_home_default.h"
#include "platform/visible_text.h"
#include "reportserver/admin/export_command.h"
#include "reportserver/admin/repository_admin.h"
#include "reportserver/admin/repository_views.h"
#include "reportserver/admin/serve_command.h"
#include "reportserver/store/server_home.h"

namespace {

std::string usage() {
  return std::string(
             "usage: korvaserver init  [-apsname N] [-password P]\n"
             "       korvaserver tree  [-apsname N] [-user U [-password P]]\n"
             "       korvaserver users [-apsname N] [-user U [-password P]]\n"
             "       korvaserver dump  [-apsname N] [-user U [-password P]]\n"
             "       korvaserver serve -apsname N [-listen HOST:PORT] [-cert FILE -key FILE]\n"
             "       korvaserver export [-apsname N] [-user U [-password P]] [-folder 'A\\B']"
             " -out DIR\n"
             "With -user the views and export show what that user may see of the APS (a\n"
             "repository here, or a report server HOST:PORT); \"-password -\" reads the\n"
             "password from standard input.\n"
             "The APS name defaults to the local host's name; repositories live in\n") +
         korva::serverHomeUsage() + ".\n";
}

std::string lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// Messages echo arguments and paths, which may hold control characters.
std::string visible(const std::string& text) {
  return korva::visibleText(text, korva::TextEncoding::kProcess, korva::EscapeStyle::kLog);
}

int failWith(const std::string& message) {
  std::fprintf(stderr, "korvaserver: %s\n", visible(message).c_str());
  return 1;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "korvaserver: %s\n%s", visible(message).c_str(), usage().c_str());
  return 1;
}

void print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// Text of the command line (the system's code page on Windows) in UTF-8.
std::string utf8Argument(const std::string& text) {
  std::string utf8;
  return korva::fileNameAsUtf8(text, &utf8) ? utf8 : text;
}

// The first line of standard input without its line end; false when the input
// ends before anything was read.
bool readFirstLine(std::string* line) {
  line->clear();
  int c;
  bool any = false;
  while ((c = std::getchar()) != EOF) {
    any = true;
    if (c == '\n') break;
    line->push_back(static_cast<char>(c));
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return any;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usageError("no command given.");
  const std::string command = argv[1];
  if (command == "help" || command == "-help" || command == "--help" || command == "-h") {
    print(usage());
    return 0;
  }
  if (command != "init" && command != "tree" && command != "users" && command != "dump" &&
      command != "serve" && command != "export") {
    return usageError("unknown command \"" + command + "\".");
  }

  const bool isView = command == "tree" || command == "users" || command == "dump";
  const bool readsAsUser = isView || command == "export";
  bool haveAps = false, havePassword = false;
  std::string aps, password;
  korva::ServeSettings serve;
  korva::ExportSettings exporting;
  const std::string passwordUse =
      "-password applies to init, and to tree, users, dump and export with -user.";
  for (int i = 2; i < argc; ++i) {
    std::string option = argv[i];
    std::string name = lower(option);
    const bool serveOption = name == "-listen" || name == "-cert" || name == "-key";
    const bool exportOption = name == "-folder" || name == "-out";
    if (name != "-apsname" && name != "-password" && name != "-user" && !serveOption &&
        !exportOption) {
      return usageError("unknown option \"" + option + "\".");
    }
    if (name == "-password" && command == "serve") return usageError(passwordUse);
    if (name == "-user" && !readsAsUser) {
      return usageError("-user applies to tree, users, dump and export only.");
    }
    if (serveOption && command != "serve") {
      return usageError(option + " applies to serve only.");
    }
    if (exportOption && command != "export") {
      return usageError(option + " applies to export only.");
    }
    if (i + 1 >= argc) return usageError("option " + option + " needs a value.");
    std::string value = argv[++i];
    if (name == "-apsname") {
      aps = value;
      haveAps = true;
    } else if (name == "-password") {
      password = value;
      havePassword = true;
    } else if (name == "-user") {
      exporting.user = utf8Argument(value);
      exporting.logOn = true;
    } else if (name == "-folder") {
      exporting.folderPath = utf8Argument(value);
    } else if (name == "-out") {
      exporting.outDir = value;
    } else {
      (name == "-listen" ? serve.listen : name == "-cert" ? serve.certFile : serve.keyFile) = value;
    }
  }
  if (readsAsUser && havePassword && !exporting.logOn) return usageError(passwordUse);
  if (command == "serve") {
    if (!haveAps) return usageError("serve needs -apsname.");
    serve.apsName = aps;
    std::string error;
    return korva::serveUntilStopped(serve, &error) ? 0 : failWith(error);
  }
  if (command == "export" && exporting.outDir.empty()) return usageError("export needs -out.");
  if (command == "init" || exporting.logOn) {
    if (havePassword && password == "-") {
      if (!readFirstLine(&password)) {
        return failWith("-password -: standard input holds no password line.");
      }
    } else if (!havePassword) {
      const char* fromEnvironment = std::getenv("KORVA_SERVER_PASSWORD");
      if (fromEnvironment) password = fromEnvironment;
    }
  }

  if (!haveAps) {
    if (!korva::officialHostName("localhost", &aps)) {
      return failWith("cannot resolve the local host's name; give the APS name with -apsname.");
    }
  }

  std::string error;
  if (command == "export") {
    exporting.apsName = aps;
    exporting.password = utf8Argument(password);
    std::vector<std::string> lines;
    if (!korva::runExport(exporting, &lines, &error)) return failWith(error);
    for (const std::string& line : lines) {
      print(korva::visibleText(line, korva::TextEncoding::kUtf8, korva::EscapeStyle::kLog) + "\n");
    }
    return std::fflush(stdout) == 0 ? 0 : failWith("cannot write the output.");
  }
  if (command == "init") {
    if (!korva::initRepository(aps, password, &error)) return failWith(error);
    std::string name, path;
    korva::repositoryLocation(aps, &name, &path, nullptr);
    print("Created the repository of APS \"" + name + "\" at " + visible(path) + ".\n");
    return 0;
  }
  const korva::RepositoryView view = command == "tree"    ? korva::describeTree
                                     : command == "users" ? korva::describeUsers
                                                          : korva::dumpRepository;
  std::string text;
  const bool viewed =
      exporting.logOn
          ? korva::viewRepositoryAs({exporting.user, utf8Argument(password), aps, "secEnterprise"},
                                    view, &text, &error)
          : korva::viewLocalRepository(aps, view, &text, &error);
  if (!viewed) return failWith(error);
  print(text);
  return std::fflush(stdout) == 0 ? 0 : failWith("cannot write the output.");
}
