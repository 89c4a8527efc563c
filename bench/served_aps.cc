// Starting and stopping `korvaserver serve`.
#include "served_aps.h"

#include <signal.h>

#include <filesystem>
#include <stdexcept>

namespace bench {

ServedAps::ServedAps(const std::string& binDir, const std::string& home, const std::string& aps,
                     const std::string& logPath)
    : certificate_(home + "/" + aps + ".crt") {
  std::filesystem::create_directories(home);
  const std::string server = binDir + "/korvaserver";
  const std::vector<std::string> environment = {"KORVA_SERVER_HOME=" + home};
  if (runChild({server, "init", "-apsname", aps}, logPath, environment).exitCode != 0) {
    throw std::runtime_error("korvaserver init failed for " + aps + "; see " + logPath);
  }
  ChildSetup setup;
  setup.environment = environment;
  setup.pipeOutput = true;
  // Standard error (its request log) goes to the log; standard output, where
  // it says where it serves, comes here.
  setup.outputPath = logPath;
  process_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{server, "serve", "-apsname", aps, "-listen", "127.0.0.1:0"}, setup);
  const std::string serving = "Serving APS " + aps + " on ";
  std::string line;
  while (process_->readLine(&line)) {
    if (line.compare(0, serving.size(), serving) == 0) {
      address_ = line.substr(serving.size());
      return;
    }
  }
  throw std::runtime_error("korvaserver serve did not start; see " + logPath);
}

ServedAps::~ServedAps() {
  if (stopped_) return;
  try {
    stop();
  } catch (const std::exception&) {
    // The process object kills what is left.
  }
}

std::vector<std::string> ServedAps::clientEnvironment(const std::string& clientHome) const {
  std::filesystem::create_directories(clientHome);
  return {"KORVA_SERVER_HOME=" + clientHome, "KORVA_SERVER_CA=" + certificate_};
}

ChildResult ServedAps::stop() {
  stopped_ = true;
  process_->signal(SIGTERM);
  return process_->wait();
}

}  // namespace bench
