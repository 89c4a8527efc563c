// korvapush and korvadrop: one source, built twice. KORVA_TOOL_PUBLISH=1 gives
// the publisher (doPublishA), 0 the remover (doDeleteA). The program loads the
// engine library at run time, maps its options to the function's seven
// arguments and exits with the function's result; every default and every
// log line comes from the library. Without -apspass the password comes from
// the environment variable KORVA_APSPASS when it is set, so that it need not
// stand on a command line every local user can read in the process list.
//
// Thread-safety: single-threaded. Ownership: the library stays loaded until
// the process ends.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "korvalink.h"
#include "platform/console_program.h"
#include "platform/dynlib.h"
#include "platform/exit_status.h"
#include "support/param_line_args.h"
#include "support/sstring.h"

#ifndef KORVA_TOOL_PUBLISH
#error "build with KORVA_TOOL_PUBLISH=1 (korvapush) or KORVA_TOOL_PUBLISH=0 (korvadrop)"
#endif

namespace {

constexpr int kArgumentCount = 7;
constexpr int kPasswordArgument = 2;  // index of "apspass" in kOptions
constexpr int kLogFileArgument = 4;   // index of "logfile" in kOptions
const char kPasswordVariable[] = "KORVA_APSPASS";

// The usage lines of the options both programs take.
#define KORVA_SHARED_USAGE                                                    \
  "   -help      Print this message.\n"                                       \
  "   -apsname   The destination APS name. Default to local computer name.\n" \
  "   -apsuser   The APS user name. Default to \"Administrator\".\n"          \
  "   -apspass   The APS user password. Default to \"\".\n"                   \
  "   -apsauth   The APS authentication type. Default to \"secEnterprise\".\n"

#if KORVA_TOOL_PUBLISH
const char kFunctionName[] = "doPublishA";
const char* const kOptions[kArgumentCount] = {"apsname", "apsuser", "apspass", "apsauth",
                                              "logfile", "srcfile", "srcpath"};
const char kUsage[] =
    "Usage: korvapush [Options]\n" KORVA_SHARED_USAGE
    "   -srcfile   The publish instructions XML file. Default to \"publish.xml\".\n"
    "   -srcpath   The path whose contents are published. Default to current path.\n";
#else
const char kFunctionName[] = "doDeleteA";
const char* const kOptions[kArgumentCount] = {"apsname", "apsuser", "apspass", "apsauth",
                                              "logfile", "delfld",  "delrpt"};
const char kUsage[] = "Usage: korvadrop [Options]\n" KORVA_SHARED_USAGE
                      "   -delrpt    The report to be deleted. Separate folders with \"\\\".\n"
                      "   -delfld    The folder to be deleted. Separate folders with \"\\\".\n";
#endif

#if KORVA_TOOL_PUBLISH
using EntryFunction = doPublishAProc;
#else
using EntryFunction = doDeleteAProc;
#endif

// The platform decides how much of the result the exit status can carry.
int exitCodeFor(int result) { return korva::exitStatusFor(result); }

}  // namespace

int main(int argc, char** argv) {
  // On POSIX multibyte text follows the user's encoding (UTF-8 where the
  // environment leaves the plain "C" locale); collation and time stay "C".
  // A log reader that goes away fails the log's writes, never the run.
  korva::setProgramLocale();
  korva::ignoreBrokenPipes();

  const std::string libraryName = korva::sharedLibraryFileName("korvalink");
  korva::LibraryHandle library = korva::loadLibrary(libraryName.c_str());
  if (!library) {
    std::printf("Failed to load %s from the current directory.\n", libraryName.c_str());
    return 1;
  }
  auto function = reinterpret_cast<EntryFunction>(korva::lookupFunction(library, kFunctionName));
  if (!function) {
    std::printf("Failed to load required function from support library.\n");
    return 1;
  }

  CParamLineArgs args(argc, argv);
  SAnsiString values[kArgumentCount];
  const char* arguments[kArgumentCount];
  for (int i = 0; i < kArgumentCount; ++i) {
    arguments[i] = args.getValue(kOptions[i], &values[i]) ? values[i].getBuffer() : nullptr;
  }

  SAnsiString help;
  if (args.getValue("help", &help)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!arguments[kPasswordArgument]) arguments[kPasswordArgument] = std::getenv(kPasswordVariable);
  if (!arguments[kLogFileArgument]) arguments[kLogFileArgument] = "stdout";

  const int result = function(arguments[0], arguments[1], arguments[2], arguments[3], arguments[4],
                              arguments[5], arguments[6]);
  return exitCodeFor(result);
}
