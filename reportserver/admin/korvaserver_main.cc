// korvaserver: the embedded report server's admin program.
//   korvaserver init  [-apsname N] [-password P]   create a repository
//   korvaserver tree  [-apsname N] [-user U]       folders and reports
//   korvaserver users [-apsname N] [-user U]       users and their rights
//   korvaserver dump  [-apsname N] [-user U]       everything, as JSON
//   korvaserver serve -apsname N [-listen HOST:PORT] [-cert FILE -key FILE]
//                                                  serve it over HTTPS
// The APS name defaults to the local host's name as the engine resolves it
// (serve needs it named). Without -user the views read the local repository
// whole; with -user they log on as that user (-password P) to the APS, a
// local repository or a report server HOST:PORT, and show what the user may
// see.
// The password of init (the Administrator's) and of -user: -password P, or
// with "-password -" the first line of standard input, else
// $KORVA_SERVER_PASSWORD, else none; so that it need not stand in the
// process list.
// Output goes to standard output; errors to standard error with exit code 1.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/net.h"
#include "platform/server_home_default.h"
#include "platform/visible_text.h"
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
             "With -user the views show what that user may see of the APS (a repository\n"
             "here, or a report server HOST:PORT); \"-password -\" reads the password\n"
             "from standard input.\n"
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
      command != "serve") {
    return usageError("unknown command \"" + command + "\".");
  }

  const bool isView = command != "init" && command != "serve";
  bool haveAps = false, havePassword = false, haveUser = false;
  std::string aps, password, user;
  korva::ServeSettings serve;
  const std::string passwordUse =
      "-password applies to init, and to tree, users and dump with -user.";
  for (int i = 2; i < argc; ++i) {
    std::string option = argv[i];
    std::string name = lower(option);
    const bool serveOption = name == "-listen" || name == "-cert" || name == "-key";
    if (name != "-apsname" && name != "-password" && name != "-user" && !serveOption) {
      return usageError("unknown option \"" + option + "\".");
    }
    if (name == "-password" && command == "serve") return usageError(passwordUse);
    if (name == "-user" && !isView) {
      return usageError("-user applies to tree, users and dump only.");
    }
    if (serveOption && command != "serve") {
      return usageError(option + " applies to serve only.");
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
      user = value;
      haveUser = true;
    } else {
      (name == "-listen" ? serve.listen : name == "-cert" ? serve.certFile : serve.keyFile) = value;
    }
  }
  if (isView && havePassword && !haveUser) return usageError(passwordUse);
  if (command == "serve") {
    if (!haveAps) return usageError("serve needs -apsname.");
    serve.apsName = aps;
    std::string error;
    return korva::serveUntilStopped(serve, &error) ? 0 : failWith(error);
  }
  if (command == "init" || haveUser) {
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
  const bool viewed = haveUser ? korva::viewRepositoryAs({user, password, aps, "secEnterprise"},
                                                         view, &text, &error)
                               : korva::viewLocalRepository(aps, view, &text, &error);
  if (!viewed) return failWith(error);
  print(text);
  return std::fflush(stdout) == 0 ? 0 : failWith("cannot write the output.");
}
