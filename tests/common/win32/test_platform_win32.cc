// The tests' platform answers on Windows; runChild over CreateProcessA, with
// the command line quoted the way the C runtime splits it again; the
// environment through msvcrt's _putenv_s, which keeps the runtime's copy and
// the system's alike.
#include <cstdlib>
#include <cstring>

#include "common/test_platform.h"
#include "platform/win32/system_error.h"

namespace korva_test {
namespace {

using Handle = korva::win32::ScopedHandle;

// One argument as the C runtime's command-line parser reads it back:
// quoted when it is empty or holds blanks or quotes; backslashes doubled
// only where they come before a quote.
std::string quoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') backslashes = backslashes * 2 + 1;
    out.append(backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

HANDLE openInheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string lastError(const char* what) {
  return std::string(what) + " failed with error " + std::to_string(GetLastError());
}

}  // namespace

std::string programFileName(const std::string& name) { return name + ".exe"; }

bool exitStatusIsWhole() { return true; }

bool programsSearchLibDirectory() { return false; }

bool programsPreferUtf8Locale() { return false; }

bool cLocaleRefusesBytesAbove127() { return false; }

bool hasUtf8CtypeLocale() { return false; }

bool pathsMayExceed260Characters() { return false; }

bool xmlReaderIsExpat() { return false; }

// Wine's ntdll exports its version; Windows' does not.
bool runsUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string programSpelling(const std::string& utf8) {
  const int n = static_cast<int>(utf8.size());
  std::wstring wide(static_cast<size_t>(n), L'\0');
  const int chars = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), n, &wide[0], n);
  if (chars <= 0 && n > 0) return "";
  std::string local(static_cast<size_t>(chars) * 2, '\0');
  BOOL lossy = FALSE;
  const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), chars,
                                        &local[0], static_cast<int>(local.size()), nullptr,
                                        &lossy);
  if ((bytes <= 0 && chars > 0) || lossy) return "";
  local.resize(static_cast<size_t>(bytes));
  return local;
}

std::vector<std::string> currentEnvironment() {
  std::vector<std::string> env;
  char* block = GetEnvironmentStringsA();
  if (!block) return env;
  for (const char* p = block; *p; p += std::strlen(p) + 1) env.emplace_back(p);
  FreeEnvironmentStringsA(block);
  return env;
}

bool environmentNamesIgnoreCase() { return true; }

void setEnvironmentVariable(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
}

void unsetEnvironmentVariable(const std::string& name) { _putenv_s(name.c_str(), ""); }

const char* temporaryDirectoryVariable() { return "TMP"; }

int processId() { return static_cast<int>(GetCurrentProcessId()); }

ChildResult runChild(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment, const std::string& outFile,
                     const std::string& errFile, const std::string& cwd,
                     const std::string& inFile) {
  ChildResult r;
  std::string commandLine = quoteArgument(program);
  for (const std::string& a : args) commandLine += " " + quoteArgument(a);
  std::string block;
  for (const std::string& e : environment) block += e + '\0';
  block += '\0';

  Handle in(openInheritable(inFile.empty() ? "NUL" : inFile, GENERIC_READ, OPEN_EXISTING));
  Handle out(openInheritable(outFile, GENERIC_WRITE, CREATE_ALWAYS));
  Handle err(openInheritable(errFile, GENERIC_WRITE, CREATE_ALWAYS));
  if (!in.valid() || !out.valid() || !err.valid()) {
    r.error = lastError("opening the standard streams");
    return r;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.get();
  startup.hStdOutput = out.get();
  startup.hStdError = err.get();
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, &block[0],
                      cwd.empty() ? nullptr : cwd.c_str(), &startup, &info)) {
    r.error = lastError("CreateProcessA");
    return r;
  }
  r.started = true;
  Handle process(info.hProcess);
  Handle thread(info.hThread);
  DWORD code = 0;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.get(), &code)) {
    r.error = lastError("waiting for the program");
    return r;
  }
  r.exited = true;
  r.exitCode = static_cast<int>(code);
  return r;
}

}  // namespace korva_test
