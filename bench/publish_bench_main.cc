// korva_publish_bench: publishing speed, memory and scale of the engine
// measured against the floor in the same run.
//
// Each measured phase is a child process: korvapush or korvadrop for the
// engine, this program again (--floor-phase) for the floor, so that every
// figure holds that phase's own wall time, processor time and peak resident
// memory. Every run uses fresh repositories in a temporary server home.
//
//   korva_publish_bench [--folders F] [--reports R] [--size S] [--users U]
//                       [--compare] [--memory] [--entries N] [--scale]
//                       [--scale-large] [--scale-users] [--remote]
//                       [--remote-standard] [--publishers N] [--bin DIR]
//                       [--keep]
//   korva_publish_bench --generate DIR [shape options]
//
// Without a case option it runs --compare: the first publish, the second
// publish and the delete of one folder, each beside its floor. --remote
// runs the same publish locally and through `korvaserver serve` on the
// loopback (served_aps.h), N publishers at once against one, and a 1 GiB
// report through the server; --remote-standard only the first of these.
// --generate only writes a tree and its
// instructions file (DIR/src, DIR/publish.xml), for runs by hand.
//
// Thread-safety: single-threaded.
#include <sys/utsname.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_tree.h"
#include "child_process.h"
#include "floor.h"
#include "served_aps.h"

#ifndef KORVA_BIN_DIR
#define KORVA_BIN_DIR "."
#endif

namespace bench {
namespace {

struct Options {
  TreeShape shape;
  bool compare = false;
  bool memory = false;
  bool scale = false;
  bool scaleLarge = false;
  bool scaleUsers = false;
  bool remote = false;
  bool remoteStandardOnly = false;
  int publishers = 8;
  std::string generate;
  int entries = 200000;
  std::string binDir = KORVA_BIN_DIR;
  bool keep = false;
  // Internal: one floor phase in this process.
  std::string floorPhase, aps, dir, ids;
  int deleteFolder = 0;
};

[[noreturn]] void usage(const char* message) {
  std::fprintf(
      stderr,
      "%s\nusage: korva_publish_bench [--folders F] [--reports R] [--size BYTES] "
      "[--users U]\n       [--compare] [--memory] [--entries N] [--scale] "
      "[--scale-large] [--scale-users] [--remote] [--remote-standard]\n"
      "       [--publishers N] [--bin DIR] [--keep]\n       korva_publish_bench --generate DIR "
      "[--folders F] [--reports R] [--size BYTES] [--users U]\n",
      message);
  std::exit(2);
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) usage(("missing value for " + a).c_str());
      return argv[++i];
    };
    if (a == "--folders")
      o.shape.folders = std::stoi(value());
    else if (a == "--reports")
      o.shape.reportsPerFolder = std::stoi(value());
    else if (a == "--size")
      o.shape.fileSize = std::stoll(value());
    else if (a == "--users")
      o.shape.users = std::stoi(value());
    else if (a == "--extra")
      o.shape.extraEntries = std::stoi(value());
    else if (a == "--sparse")
      o.shape.sparse = true;
    else if (a == "--compare")
      o.compare = true;
    else if (a == "--memory")
      o.memory = true;
    else if (a == "--entries")
      o.entries = std::stoi(value());
    else if (a == "--scale")
      o.scale = true;
    else if (a == "--scale-large")
      o.scale = o.scaleLarge = true;
    else if (a == "--scale-users")
      o.scaleUsers = true;
    else if (a == "--remote")
      o.remote = true;
    else if (a == "--remote-standard")
      o.remote = o.remoteStandardOnly = true;
    else if (a == "--publishers")
      o.publishers = std::stoi(value());
    else if (a == "--generate")
      o.generate = value();
    else if (a == "--bin")
      o.binDir = value();
    else if (a == "--keep")
      o.keep = true;
    else if (a == "--floor-phase")
      o.floorPhase = value();
    else if (a == "--aps")
      o.aps = value();
    else if (a == "--dir")
      o.dir = value();
    else if (a == "--ids")
      o.ids = value();
    else if (a == "--delete-folder")
      o.deleteFolder = std::stoi(value());
    else
      usage(("unknown option " + a).c_str());
  }
  if (!o.compare && !o.memory && !o.scale && !o.scaleUsers && !o.remote) o.compare = true;
  return o;
}

std::vector<std::string> shapeArgs(const TreeShape& s) {
  std::vector<std::string> a = {
      "--folders", std::to_string(s.folders),  "--reports", std::to_string(s.reportsPerFolder),
      "--size",    std::to_string(s.fileSize), "--users",   std::to_string(s.users)};
  if (s.sparse) a.push_back("--sparse");
  return a;
}

double mib(long kib) { return kib / 1024.0; }

// A measured phase and how many objects it handled.
struct Figure {
  std::string name;
  ChildResult run;
  int64_t objects = 0;
  double cpu() const { return run.userSeconds + run.systemSeconds; }
};

void printHeader() {
  std::printf("%-24s %9s %8s %9s %7s %8s %7s %9s\n", "phase", "wall s", "objects", "objects/s",
              "ratio", "cpu s", "cpu x", "peak MiB");
}

void printFigure(const Figure& f, const Figure* floor) {
  std::printf("%-24s %9.2f %8lld %9.1f ", f.name.c_str(), f.run.wallSeconds,
              static_cast<long long>(f.objects),
              f.run.wallSeconds > 0 ? f.objects / f.run.wallSeconds : 0.0);
  if (floor && floor->run.wallSeconds > 0) {
    std::printf("%7.2f %8.2f %7.2f", f.run.wallSeconds / floor->run.wallSeconds, f.cpu(),
                floor->cpu() > 0 ? f.cpu() / floor->cpu() : 0.0);
  } else {
    std::printf("%7s %8.2f %7s", "-", f.cpu(), "-");
  }
  std::printf(" %9.1f\n", mib(f.run.peakRssKiB));
  std::fflush(stdout);
}

void verdict(const char* target, double value, double limit, const char* unit) {
  std::printf("  %-64s %8.2f%s (limit %.2f%s) %s\n", target, value, unit, limit, unit,
              value <= limit ? "MET" : "MISSED");
}

// A temporary work folder with a server home, removed at the end unless kept.
class Workspace {
 public:
  explicit Workspace(bool keep) : keep_(keep) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/korva-bench-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("cannot create " + pattern);
    path_ = buf.data();
    setenv("KORVA_SERVER_HOME", (path_ + "/home").c_str(), 1);
    unsetenv("KORVA_SERVER_FAULTS");
  }
  ~Workspace() {
    if (keep_) {
      std::printf("(kept %s)\n", path_.c_str());
    } else {
      std::error_code ec;
      std::filesystem::remove_all(path_, ec);
    }
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool keep_;
};

class Bench {
 public:
  explicit Bench(const Options& o) : o_(o), self_(selfPath()) {}

  void initServer(const Workspace& w, const std::string& aps) {
    ChildResult r = runChild({o_.binDir + "/korvaserver", "init", "-apsname", aps},
                             w.path() + "/korvaserver.out");
    if (r.exitCode != 0) throw std::runtime_error("korvaserver init failed for " + aps);
  }

  // The instructions file and the source tree of a shape under dir.
  void generate(const std::string& dir, const TreeShape& shape) {
    std::filesystem::create_directories(dir);
    writeSourceTree(dir, shape);
    writeInstructions(dir + "/publish.xml", shape);
  }

  std::vector<std::string> publishArgs(const std::string& aps, const std::string& dir,
                                       const std::string& log) const {
    return {o_.binDir + "/korvapush", "-apsname", aps, "-srcfile", dir + "/publish.xml", "-srcpath",
            sourceDir(dir),           "-logfile", log};
  }

  // environment: over this process's (a remote client's, see ServedAps).
  Figure enginePublish(const std::string& name, const std::string& aps, const std::string& dir,
                       const TreeShape& shape, const std::string& log,
                       const std::vector<std::string>& environment = {}) {
    Figure f{name, runChild(publishArgs(aps, dir, log), log + ".out", environment),
             objectCount(shape)};
    if (f.run.exitCode != 0) {
      throw std::runtime_error("korvapush failed (exit " + std::to_string(f.run.exitCode) +
                               "); see " + log);
    }
    return f;
  }

  Figure engineDelete(const std::string& name, const std::string& aps, const std::string& folder,
                      int64_t objects, const std::string& log,
                      const std::vector<std::string>& environment = {}) {
    Figure f{
        name,
        runChild({o_.binDir + "/korvadrop", "-apsname", aps, "-delfld", folder, "-logfile", log},
                 log + ".out", environment),
        objects};
    if (f.run.exitCode != 0) throw std::runtime_error("korvadrop failed; see " + log);
    return f;
  }

  Figure floorPhase(const std::string& name, const std::string& phase, const std::string& aps,
                    const std::string& dir, const TreeShape& shape, int64_t objects,
                    const std::string& out) {
    std::vector<std::string> argv = {
        self_, "--floor-phase", phase, "--aps", aps, "--dir", dir, "--ids", dir + "/floor-ids.txt"};
    for (const std::string& a : shapeArgs(shape)) argv.push_back(a);
    Figure f{name, runChild(argv, out), objects};
    if (f.run.exitCode != 0) throw std::runtime_error("floor " + phase + " failed; see " + out);
    return f;
  }

  // Checks a summary line of an engine log ("1000 reports added.").
  static void expectCount(const std::string& log, const std::string& text) {
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) {
      if (line.size() >= text.size() &&
          line.compare(line.size() - text.size(), text.size(), text) == 0) {
        return;
      }
    }
    throw std::runtime_error("the log " + log + " lacks \"" + text + "\"");
  }

  void compare() {
    const TreeShape& s = o_.shape;
    std::printf("\n== compare: %s\n", shapeText(s).c_str());
    Workspace w(o_.keep);
    const std::string dir = w.path() + "/tree";
    generate(dir, s);
    initServer(w, "floor");
    initServer(w, "engine");
    const int64_t reports = static_cast<int64_t>(s.folders) * s.reportsPerFolder;
    const std::string out = w.path() + "/floor.out";
    printHeader();
    Figure floor1 = floorPhase("floor publish", "publish", "floor", dir, s, objectCount(s), out);
    printFigure(floor1, nullptr);
    Figure engine1 =
        enginePublish("engine first publish", "engine", dir, s, w.path() + "/engine-1.log");
    expectCount(w.path() + "/engine-1.log", std::to_string(reports) + " reports added.");
    printFigure(engine1, &floor1);
    Figure floor2 = floorPhase("floor update", "update", "floor", dir, s, objectCount(s), out);
    printFigure(floor2, nullptr);
    Figure engine2 =
        enginePublish("engine second publish", "engine", dir, s, w.path() + "/engine-2.log");
    expectCount(w.path() + "/engine-2.log", std::to_string(reports) + " reports updated.");
    printFigure(engine2, &floor2);
    Figure floor3{}, engine3{};
    if (s.folders > 0) {
      const int64_t removed = 1 + s.reportsPerFolder;
      std::vector<std::string> argv = {
          self_,   "--floor-phase",        "delete",          "--aps", "floor",
          "--ids", dir + "/floor-ids.txt", "--delete-folder", "0"};
      floor3 = Figure{"floor delete folder", runChild(argv, out), removed};
      if (floor3.run.exitCode != 0) throw std::runtime_error("floor delete failed; see " + out);
      printFigure(floor3, nullptr);
      engine3 = engineDelete("engine delete folder", "engine", folderName(0), removed,
                             w.path() + "/engine-3.log");
      expectCount(w.path() + "/engine-3.log", "1 folders deleted.");
      printFigure(engine3, &floor3);
    }
    std::printf("targets:\n");
    verdict("first publish / floor (wall)", engine1.run.wallSeconds / floor1.run.wallSeconds, 1.5,
            "x");
    verdict("second publish / floor (wall)", engine2.run.wallSeconds / floor2.run.wallSeconds, 1.5,
            "x");
  }

  void memory() {
    std::printf("\n== memory\n");
    printHeader();
    Figure bigFloor, bigEngine;
    {
      Workspace w(o_.keep);
      const TreeShape s = oneGiBReport();
      const std::string dir = w.path() + "/big";
      generate(dir, s);
      initServer(w, "floor");
      initServer(w, "engine");
      bigFloor = floorPhase("floor 1 GiB report", "publish", "floor", dir, s, objectCount(s),
                            w.path() + "/floor.out");
      printFigure(bigFloor, nullptr);
      bigEngine = enginePublish("engine 1 GiB report", "engine", dir, s, w.path() + "/engine.log");
      expectCount(w.path() + "/engine.log", "1 reports added.");
      printFigure(bigEngine, &bigFloor);
    }
    Figure small, large;
    TreeShape s;
    s.folders = 1;
    s.reportsPerFolder = 10;
    s.fileSize = 4096;
    s.users = 3;
    {
      Workspace w(o_.keep);
      generate(w.path() + "/small", s);
      initServer(w, "engine");
      small = enginePublish("engine " + std::to_string(entryCount(s)) + " entries", "engine",
                            w.path() + "/small", s, w.path() + "/engine.log");
      printFigure(small, nullptr);
    }
    {
      Workspace w(o_.keep);
      TreeShape big = s;
      big.extraEntries = static_cast<int>(o_.entries - entryCount(s));
      generate(w.path() + "/large", big);
      initServer(w, "engine");
      large = enginePublish("engine " + std::to_string(entryCount(big)) + " entries", "engine",
                            w.path() + "/large", big, w.path() + "/engine.log");
      large.objects = objectCount(big);
      expectCount(w.path() + "/engine.log", "10 reports added.");
      printFigure(large, nullptr);
    }
    std::printf("targets:\n");
    verdict("peak memory, 1 GiB report (engine)", mib(bigEngine.run.peakRssKiB), 64, " MiB");
    verdict(("peak memory, " + std::to_string(o_.entries) + "-entry instructions file").c_str(),
            mib(large.run.peakRssKiB), 64 + o_.entries / 1024.0, " MiB");
    std::printf("  per instructions entry: %.2f KiB\n",
                (large.run.peakRssKiB - small.run.peakRssKiB) /
                    static_cast<double>(o_.entries - entryCount(s)));
  }

  // The engine's first publish of a tree; with a floor, also the floor that
  // looks up every object by title before adding it (into *floor).
  Figure scaleRun(const std::string& name, const TreeShape& s, Figure* floor = nullptr) {
    Workspace w(o_.keep);
    const std::string dir = w.path() + "/tree";
    generate(dir, s);
    initServer(w, "engine");
    if (floor) {
      initServer(w, "floor");
      *floor = floorPhase(name + ", floor+lookups", "publish-lookups", "floor", dir, s,
                          objectCount(s), w.path() + "/floor.out");
    }
    Figure f = enginePublish(name, "engine", dir, s, w.path() + "/engine.log");
    expectCount(
        w.path() + "/engine.log",
        std::to_string(static_cast<int64_t>(s.folders) * s.reportsPerFolder) + " reports added.");
    return f;
  }

  void scale() {
    std::printf("\n== scale: first publish, %lld-byte reports, %d users, 100 reports per folder\n",
                static_cast<long long>(o_.shape.fileSize), o_.shape.users);
    std::printf("%-34s %9s %8s %12s %12s %9s\n", "reports", "wall s", "cpu s", "ms/report",
                "cpu ms/rep", "peak MiB");
    std::vector<int> sizes = {1000, 10000};
    if (o_.scaleLarge) sizes.push_back(50000);
    std::map<int, Figure> byCount;
    auto row = [](const Figure& f, int reports) {
      std::printf("%-34s %9.2f %8.2f %12.3f %12.3f %9.1f\n", f.name.c_str(), f.run.wallSeconds,
                  f.cpu(), 1000 * f.run.wallSeconds / reports, 1000 * f.cpu() / reports,
                  mib(f.run.peakRssKiB));
      std::fflush(stdout);
    };
    for (int n : sizes) {
      TreeShape s = o_.shape;
      s.folders = n / 100;
      s.reportsPerFolder = 100;
      byCount[n] = scaleRun(std::to_string(n) + " in " + std::to_string(s.folders) + " folders", s);
      row(byCount[n], n);
    }
    TreeShape spread = o_.shape;
    spread.folders = 50;
    spread.reportsPerFolder = 100;
    Figure spreadFloor;
    Figure spreadRun = scaleRun("5000 in 50 folders", spread, &spreadFloor);
    row(spreadFloor, 5000);
    row(spreadRun, 5000);
    TreeShape one = o_.shape;
    one.folders = 1;
    one.reportsPerFolder = 5000;
    Figure oneFloor;
    Figure oneRun = scaleRun("5000 in 1 folder", one, &oneFloor);
    row(oneFloor, 5000);
    row(oneRun, 5000);
    std::printf("targets:\n");
    const int largest = sizes.back();
    verdict(("time per report, " + std::to_string(largest) + " / 1000 reports").c_str(),
            (byCount[largest].run.wallSeconds / largest) / (byCount[1000].run.wallSeconds / 1000),
            1.5, "x");
    verdict("5000 reports in one folder / spread 100 per folder (cpu)",
            oneRun.cpu() / spreadRun.cpu(), 2, "x");
    std::printf("  (wall: %.2fx in one folder)\n",
                oneRun.run.wallSeconds / spreadRun.run.wallSeconds);
    std::printf("  (processor time: %.2fx per report at %d)\n",
                (byCount[largest].cpu() / largest) / (byCount[1000].cpu() / 1000), largest);
    std::printf(
        "  floor that looks up by title, one folder / spread: %.2fx wall, %.2fx cpu;\n"
        "  engine / that floor: %.2fx cpu in one folder, %.2fx spread\n",
        oneFloor.run.wallSeconds / spreadFloor.run.wallSeconds, oneFloor.cpu() / spreadFloor.cpu(),
        oneRun.cpu() / oneFloor.cpu(), spreadRun.cpu() / spreadFloor.cpu());
  }

  // Users: each is looked up by name among all users before it is added,
  // and gets its right on the one top-level folder. No passwords (see
  // TreeShape::passwords); the run with no users is the fixed part that the
  // time per user leaves out. A run of 500 users takes a fifth of a second,
  // where other work on the machine weighs: each case is run three times and
  // the run with the least processor time is kept.
  void scaleUsers() {
    std::printf("\n== users: first publish, 1 folder with 1 report, no passwords\n");
    std::printf("%-34s %9s %8s %12s %12s %9s\n", "users (best of 3)", "wall s", "cpu s", "ms/user",
                "cpu ms/user", "peak MiB");
    auto onceUsers = [&](int users) {
      TreeShape s = o_.shape;
      s.folders = 1;
      s.reportsPerFolder = 1;
      s.users = users;
      s.passwords = false;
      Workspace w(o_.keep);
      const std::string dir = w.path() + "/tree";
      generate(dir, s);
      initServer(w, "engine");
      Figure f = enginePublish(std::to_string(users) + " users", "engine", dir, s,
                               w.path() + "/engine.log");
      expectCount(w.path() + "/engine.log", std::to_string(users) + " users added.");
      return f;
    };
    auto usersRun = [&](int users) {
      Figure best = onceUsers(users);
      char runs[64];
      std::snprintf(runs, sizeof runs, "%.2f", best.cpu());
      std::string all = runs;
      for (int i = 1; i < 3; ++i) {
        Figure f = onceUsers(users);
        std::snprintf(runs, sizeof runs, ", %.2f", f.cpu());
        all += runs;
        if (f.cpu() < best.cpu()) best = f;
      }
      best.name += " (cpu s " + all + ")";
      return best;
    };
    const Figure noUsers = usersRun(0);
    std::map<int, Figure> byUsers;
    auto perUser = [&](int users, bool cpu) {
      const Figure& f = byUsers[users];
      return 1000 * (cpu ? f.cpu() - noUsers.cpu() : f.run.wallSeconds - noUsers.run.wallSeconds) /
             users;
    };
    std::printf("%-34s %9.2f %8.2f %12s %12s %9.1f\n", noUsers.name.c_str(),
                noUsers.run.wallSeconds, noUsers.cpu(), "-", "-", mib(noUsers.run.peakRssKiB));
    for (int users : {500, 5000}) {
      byUsers[users] = usersRun(users);
      const Figure& f = byUsers[users];
      std::printf("%-34s %9.2f %8.2f %12.3f %12.3f %9.1f\n", f.name.c_str(), f.run.wallSeconds,
                  f.cpu(), perUser(users, false), perUser(users, true), mib(f.run.peakRssKiB));
      std::fflush(stdout);
    }
    std::printf("targets:\n");
    verdict("time per user, 5000 / 500 users (cpu)", perUser(5000, true) / perUser(500, true), 2,
            "x");
    std::printf("  (wall: %.2fx)\n", perUser(5000, false) / perUser(500, false));
  }

  // A step through the served APS: the client's figure and the server's
  // processor time over the step (the server does nothing in between).
  struct RemoteFigure {
    Figure client;
    double serverCpu = 0;
    double cpu() const { return client.cpu() + serverCpu; }
  };

  template <typename Step>
  static RemoteFigure throughServer(const ServedAps& server, Step step) {
    const double before = server.processorSeconds();
    RemoteFigure r{step()};
    r.serverCpu = server.processorSeconds() - before;
    return r;
  }

  static void printLocalAndRemote(const Figure& local, const RemoteFigure& remote) {
    std::printf("%-22s %8.2f %7.2f %9.2f %8.2f %8.2f %7.2f %7.2f %6.2f %7.1f %7.1f\n",
                local.name.c_str(), local.run.wallSeconds, local.cpu(),
                remote.client.run.wallSeconds, remote.client.cpu(), remote.serverCpu, remote.cpu(),
                remote.client.run.wallSeconds / local.run.wallSeconds,
                local.cpu() > 0 ? remote.cpu() / local.cpu() : 0.0, mib(local.run.peakRssKiB),
                mib(remote.client.run.peakRssKiB));
    std::fflush(stdout);
  }

  // The standard case locally and through `korvaserver serve`, step by
  // step: the first publish, the second, the delete of one folder.
  void remote() {
    const TreeShape& s = o_.shape;
    std::printf("\n== remote: %s, locally and through korvaserver serve\n",
                shapeText(s).c_str());
    Workspace w(o_.keep);
    const std::string dir = w.path() + "/tree";
    generate(dir, s);
    initServer(w, "local");
    ServedAps server(o_.binDir, w.path() + "/served", "served", w.path() + "/served.log");
    const std::vector<std::string> env = server.clientEnvironment(w.path() + "/client");
    const std::string& aps = server.address();
    std::printf("%-22s %8s %7s %9s %8s %8s %7s %7s %6s %7s %7s\n", "step", "local s", "cpu s",
                "remote s", "client", "server", "cpu s", "wall x", "cpu x", "loc MiB", "cli MiB");
    const std::string local = w.path() + "/local-", remote = w.path() + "/remote-";
    const std::string reports =
        std::to_string(static_cast<int64_t>(s.folders) * s.reportsPerFolder);
    auto publish = [&](const std::string& name, int round, const std::string& summary) {
      const std::string n = std::to_string(round) + ".log";
      Figure l = enginePublish(name, "local", dir, s, local + n);
      expectCount(local + n, summary);
      RemoteFigure r =
          throughServer(server, [&] { return enginePublish(name, aps, dir, s, remote + n, env); });
      expectCount(remote + n, summary);
      printLocalAndRemote(l, r);
      return std::make_pair(l, r);
    };
    const auto first = publish("first publish", 1, reports + " reports added.");
    const auto second = publish("second publish", 2, reports + " reports updated.");
    if (s.folders > 0) {
      const int64_t removed = 1 + s.reportsPerFolder;
      Figure l = engineDelete("delete folder", "local", folderName(0), removed, local + "3.log");
      expectCount(local + "3.log", "1 folders deleted.");
      RemoteFigure r = throughServer(server, [&] {
        return engineDelete("delete folder", aps, folderName(0), removed, remote + "3.log", env);
      });
      expectCount(remote + "3.log", "1 folders deleted.");
      printLocalAndRemote(l, r);
    }
    const ChildResult served = server.stop();
    std::printf("server, whole run: %.2f s cpu, peak %.1f MiB\n",
                served.userSeconds + served.systemSeconds, mib(served.peakRssKiB));
    std::printf("targets:\n");
    for (const auto* step : {&first, &second}) {
      const std::string name = step->first.name + ", remote / local";
      verdict((name + " (wall)").c_str(),
              step->second.client.run.wallSeconds / step->first.run.wallSeconds, 1.3, "x");
      verdict((name + " (cpu, client + server)").c_str(), step->second.cpu() / step->first.cpu(),
              1.3, "x");
    }
  }

  // Publishers that run together: wall time from the first start to the
  // last end, processor time of them all (and of the server over that time).
  struct Together {
    double wallSeconds = 0;
    double clientCpu = 0;
    double serverCpu = 0;
    int64_t objects = 0;
  };

  // Trees [first, first + count) published at once into aps; each log must
  // report its reports added.
  Together publishTogether(const std::vector<std::string>& dirs, int first, int count,
                           const TreeShape& each, const std::string& aps,
                           const std::vector<std::string>& env, const std::string& logs,
                           const ServedAps* server) {
    const double serverBefore = server ? server->processorSeconds() : 0;
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::unique_ptr<ChildProcess>> runs;
    for (int k = first; k < first + count; ++k) {
      const std::string log = logs + std::to_string(k) + ".log";
      ChildSetup setup;
      setup.outputPath = log + ".out";
      setup.environment = env;
      runs.push_back(std::make_unique<ChildProcess>(publishArgs(aps, dirs[k], log), setup));
    }
    Together t;
    for (int k = first; k < first + count; ++k) {
      const ChildResult r = runs[k - first]->wait();
      const std::string log = logs + std::to_string(k) + ".log";
      if (r.exitCode != 0) throw std::runtime_error("korvapush failed; see " + log);
      t.clientCpu += r.userSeconds + r.systemSeconds;
    }
    t.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (int k = first; k < first + count; ++k) {
      expectCount(logs + std::to_string(k) + ".log",
                  std::to_string(each.folders * each.reportsPerFolder) + " reports added.");
    }
    if (server) t.serverCpu = server->processorSeconds() - serverBefore;
    t.objects = count * objectCount(each);
    return t;
  }

  // N publishers at once, each into two folders of its own, against one
  // alone; locally and through the served APS.
  void publishersTogether() {
    const int n = o_.publishers;
    TreeShape each;
    each.folders = 2;
    each.reportsPerFolder = 100;
    each.fileSize = o_.shape.fileSize;
    each.users = 0;
    std::printf(
        "\n== %d publishers at once against one: each %d folders x %d reports, no users "
        "(%lld objects each), first publish\n",
        n, each.folders, each.reportsPerFolder, static_cast<long long>(objectCount(each)));
    Workspace w(o_.keep);
    // Tree k holds folders 2k and 2k+1; tree n publishes alone.
    std::vector<std::string> dirs;
    for (int k = 0; k <= n; ++k) {
      TreeShape t = each;
      t.firstFolder = k * each.folders;
      dirs.push_back(w.path() + "/tree" + std::to_string(k));
      generate(dirs.back(), t);
    }
    initServer(w, "local");
    ServedAps server(o_.binDir, w.path() + "/served", "served", w.path() + "/served.log");
    const std::vector<std::string> env = server.clientEnvironment(w.path() + "/client");
    std::printf("%-26s %9s %8s %10s %12s %12s\n", "case", "wall s", "objects", "objects/s",
                "client cpu s", "server cpu s");
    auto row = [](const std::string& name, const Together& t) {
      std::printf("%-26s %9.2f %8lld %10.1f %12.2f %12.2f\n", name.c_str(), t.wallSeconds,
                  static_cast<long long>(t.objects), t.objects / t.wallSeconds, t.clientCpu,
                  t.serverCpu);
      std::fflush(stdout);
    };
    const std::string together = std::to_string(n) + " at once";
    const Together localOne =
        publishTogether(dirs, n, 1, each, "local", {}, w.path() + "/local-", nullptr);
    row("local, one", localOne);
    const Together localAll =
        publishTogether(dirs, 0, n, each, "local", {}, w.path() + "/local-", nullptr);
    row("local, " + together, localAll);
    const Together remoteOne =
        publishTogether(dirs, n, 1, each, server.address(), env, w.path() + "/remote-", &server);
    row("remote, one", remoteOne);
    const Together remoteAll =
        publishTogether(dirs, 0, n, each, server.address(), env, w.path() + "/remote-", &server);
    row("remote, " + together, remoteAll);
    auto rate = [](const Together& t) { return t.objects / t.wallSeconds; };
    std::printf("objects/s, %s / one: local %.2fx, remote %.2fx\n", together.c_str(),
                rate(localAll) / rate(localOne), rate(remoteAll) / rate(remoteOne));
  }

  // A 1 GiB report (a sparse file) locally and through a server started for
  // it alone: the peak memory of the client and of the server.
  void remoteMemory() {
    std::printf("\n== 1 GiB report, locally and through korvaserver serve\n");
    Workspace w(o_.keep);
    const TreeShape s = oneGiBReport();
    const std::string dir = w.path() + "/big";
    generate(dir, s);
    initServer(w, "local");
    Figure local = enginePublish("1 GiB report", "local", dir, s, w.path() + "/local.log");
    expectCount(w.path() + "/local.log", "1 reports added.");
    ServedAps server(o_.binDir, w.path() + "/served", "served", w.path() + "/served.log");
    const long serverAtStart = server.peakRssKiB();
    const std::vector<std::string> env = server.clientEnvironment(w.path() + "/client");
    RemoteFigure remote = throughServer(server, [&] {
      return enginePublish("1 GiB report", server.address(), dir, s, w.path() + "/remote.log", env);
    });
    expectCount(w.path() + "/remote.log", "1 reports added.");
    const long serverPeak = server.peakRssKiB();
    std::printf("%-22s %8s %7s %9s %8s %8s %7s %9s %9s %9s\n", "case", "local s", "cpu s",
                "remote s", "client", "server", "loc MiB", "cli MiB", "srv MiB", "(start)");
    std::printf("%-22s %8.2f %7.2f %9.2f %8.2f %8.2f %7.1f %9.1f %9.1f %9.1f\n", local.name.c_str(),
                local.run.wallSeconds, local.cpu(), remote.client.run.wallSeconds,
                remote.client.cpu(), remote.serverCpu, mib(local.run.peakRssKiB),
                mib(remote.client.run.peakRssKiB), mib(serverPeak), mib(serverAtStart));
    std::printf("targets:\n");
    verdict("peak memory, 1 GiB report through the server: client",
            mib(remote.client.run.peakRssKiB), 64, " MiB");
    verdict("peak memory, 1 GiB report through the server: server", mib(serverPeak), 64, " MiB");
  }

 private:
  const Options& o_;
  std::string self_;
};

void printMachine() {
  struct utsname u {};
  uname(&u);
  std::string cpu;
  std::ifstream info("/proc/cpuinfo");
  std::string line;
  while (std::getline(info, line)) {
    if (line.rfind("model name", 0) == 0) {
      cpu = line.substr(line.find(':') + 2);
      break;
    }
  }
  std::printf("machine: %s, %ld cores, %s %s\n", cpu.c_str(), sysconf(_SC_NPROCESSORS_ONLN),
              u.sysname, u.release);
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  using namespace bench;
  Options o = parse(argc, argv);
  if (!o.floorPhase.empty()) {
    if (o.floorPhase == "publish") return floorPublish(o.aps, o.dir, o.shape, o.ids);
    if (o.floorPhase == "publish-lookups") {
      return floorPublish(o.aps, o.dir, o.shape, o.ids, true);
    }
    if (o.floorPhase == "update") return floorUpdate(o.aps, o.dir, o.shape, o.ids);
    if (o.floorPhase == "delete") return floorDelete(o.aps, o.shape, o.ids, o.deleteFolder);
    usage("unknown floor phase");
  }
  try {
    if (!o.generate.empty()) {
      Bench(o).generate(o.generate, o.shape);
      return 0;
    }
    printMachine();
    Bench b(o);
    if (o.compare) b.compare();
    if (o.memory) b.memory();
    if (o.scale) b.scale();
    if (o.scale || o.scaleUsers) b.scaleUsers();
    if (o.remote) {
      b.remote();
      if (!o.remoteStandardOnly) {
        b.publishersTogether();
        b.remoteMemory();
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korva_publish_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
