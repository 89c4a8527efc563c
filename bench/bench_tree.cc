// Generating the benchmark's tree and instructions file.
#include "bench_tree.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace bench {

const char kUserPassword[] = "Bench-pass-1";
const char kUserFullName[] = "Benchmark reader";
const char kUserDescription[] = "Created by the publish benchmark";
const char kUserRight[] = "View";
const char kReportDescription[] = "A generated benchmark report";
const char kReportIcon[] = "BenchReport";

namespace {

std::string format(const char* pattern, int a, int b = 0) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, a, b);
  return text;
}

}  // namespace

std::string shapeText(const TreeShape& s) {
  return std::to_string(s.folders) + " folders x " + std::to_string(s.reportsPerFolder) +
         " reports of " + std::to_string(s.fileSize) + " bytes, " + std::to_string(s.users) +
         " users (" + std::to_string(objectCount(s)) + " objects)";
}

TreeShape oneGiBReport() {
  TreeShape s;
  s.folders = 1;
  s.reportsPerFolder = 1;
  s.fileSize = int64_t{1} << 30;
  s.users = 0;
  s.sparse = true;
  return s;
}

std::string userName(int u) { return format("user%04d", u); }
std::string folderName(int f) { return format("f%04d", f); }
std::string folderDescription(int f) { return format("Benchmark folder %d", f); }
std::string reportBaseName(int f, int r) { return format("f%04d_r%05d", f, r); }
std::string reportTitle(int f, int r) { return format("Report %d.%d", f, r); }

int64_t objectCount(const TreeShape& s) {
  return s.users + s.folders + static_cast<int64_t>(s.folders) * s.reportsPerFolder;
}

int64_t entryCount(const TreeShape& s) { return objectCount(s) + s.extraEntries; }

std::string sourceDir(const std::string& dir) { return dir + "/src"; }

std::string reportPath(const std::string& dir, int f, int r) {
  return sourceDir(dir) + "/" + folderName(f) + "/" + reportBaseName(f, r) + ".rpt";
}

void writeSourceTree(const std::string& dir, const TreeShape& shape) {
  namespace fs = std::filesystem;
  fs::create_directories(sourceDir(dir));
  // Content that does not compress to nothing, the same for every file.
  std::vector<char> block(static_cast<size_t>(std::min<int64_t>(shape.fileSize, 1 << 20)));
  uint32_t x = 2463534242u;
  for (char& c : block) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  for (int f = shape.firstFolder; f < shape.firstFolder + shape.folders; ++f) {
    fs::create_directories(sourceDir(dir) + "/" + folderName(f));
    for (int r = 0; r < shape.reportsPerFolder; ++r) {
      const std::string path = reportPath(dir, f, r);
      if (shape.sparse) {
        { std::ofstream touch(path, std::ios::binary); }
        fs::resize_file(path, static_cast<uintmax_t>(shape.fileSize));
        continue;
      }
      std::FILE* out = std::fopen(path.c_str(), "wb");
      if (!out) throw std::runtime_error("cannot create " + path);
      int64_t left = shape.fileSize;
      while (left > 0) {
        size_t n = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(block.size())));
        if (std::fwrite(block.data(), 1, n, out) != n) {
          std::fclose(out);
          throw std::runtime_error("cannot write " + path);
        }
        left -= static_cast<int64_t>(n);
      }
      if (std::fclose(out) != 0) throw std::runtime_error("cannot write " + path);
    }
  }
}

void writeInstructions(const std::string& path, const TreeShape& shape) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) throw std::runtime_error("cannot create " + path);
  std::fprintf(out,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<publish apsuser=\"Administrator\" apspass=\"\" apsauth=\"secEnterprise\">\n"
               "  <users pass=\"%s\" full=\"%s\" desc=\"%s\" named=\"0\" right=\"%s\""
               " overwrite=\"1\">\n",
               shape.passwords ? kUserPassword : "", kUserFullName, kUserDescription, kUserRight);
  for (int u = 0; u < shape.users; ++u) {
    std::fprintf(out, "    <user name=\"%s\"/>\n", userName(u).c_str());
  }
  std::fprintf(out, "  </users>\n  <folders desc=\"Benchmark folder\" overwrite=\"1\">\n");
  for (int f = shape.firstFolder; f < shape.firstFolder + shape.folders; ++f) {
    std::fprintf(out, "    <folder name=\"%s\" desc=\"%s\"/>\n", folderName(f).c_str(),
                 folderDescription(f).c_str());
  }
  std::fprintf(out, "  </folders>\n  <reports desc=\"%s\" icon=\"%s\" overwrite=\"1\">\n",
               kReportDescription, kReportIcon);
  for (int f = shape.firstFolder; f < shape.firstFolder + shape.folders; ++f) {
    for (int r = 0; r < shape.reportsPerFolder; ++r) {
      std::fprintf(out, "    <report name=\"%s\" title=\"%s\"/>\n", reportBaseName(f, r).c_str(),
                   reportTitle(f, r).c_str());
    }
  }
  // Entries with no file behind them: read and stored, never published.
  for (int e = 0; e < shape.extraEntries; ++e) {
    std::fprintf(out, "    <report name=\"%s\" title=\"%s\"/>\n", reportBaseName(9999, e).c_str(),
                 reportTitle(9999, e).c_str());
  }
  std::fprintf(out, "  </reports>\n</publish>\n");
  if (std::fclose(out) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace bench
