// The console's style sheet and script, built into the server: a source
// that the build generates from the files under reportserver/serve/console/
// (cmake/embed_console_assets.cmake) defines consoleAsset().
//
// Thread-safety: constant data.
#ifndef KORVA_REPORTSERVER_SERVE_CONSOLE_ASSETS_H_
#define KORVA_REPORTSERVER_SERVE_CONSOLE_ASSETS_H_

#include <cstddef>
#include <string>

namespace korva {

struct ConsoleAsset {
  const char* name;          // "console.css"
  const char* contentType;   // "text/css; charset=utf-8"
  const unsigned char* data;
  size_t size;
};

// The asset of that file name; null for none.
const ConsoleAsset* consoleAsset(const std::string& name);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_CONSOLE_ASSETS_H_
