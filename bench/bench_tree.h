// The benchmark's source tree and publish instructions file: F folders of R
// report files of S bytes each, U users, and one instructions entry for every
// user, folder and report (plus, on request, entries for reports that are not
// on disk, to make a large instructions file). Names, titles and texts are
// fixed functions of the indexes, so the floor can create exactly what the
// engine publishes without reading the instructions.
//
// Thread-safety: plain functions over their arguments.
#ifndef KORVA_BENCH_BENCH_TREE_H_
#define KORVA_BENCH_BENCH_TREE_H_

#include <cstdint>
#include <string>

namespace bench {

struct TreeShape {
  int folders = 10;
  int reportsPerFolder = 100;
  int64_t fileSize = 4096;
  int users = 3;
  // The index of the first folder: trees with different ones publish into
  // different folders (the floor always starts at 0).
  int firstFolder = 0;
  // Report entries in the instructions file for reports that do not exist.
  int extraEntries = 0;
  // Files are made with truncate (holes, no data written).
  bool sparse = false;
  // Users get the password kUserPassword; without, none (each password is
  // a slow salted hash on the server, which would hide everything else).
  bool passwords = true;
};

// "F folders x R reports of B bytes, U users (N objects)".
std::string shapeText(const TreeShape& s);

// One folder of one 1 GiB report (a sparse file), no users.
TreeShape oneGiBReport();

// The texts every generated object carries.
extern const char kUserPassword[];
extern const char kUserFullName[];
extern const char kUserDescription[];
extern const char kUserRight[];   // a right name of the instructions file
constexpr int32_t kUserRole = 2;  // the role that right stands for
extern const char kReportDescription[];
extern const char kReportIcon[];

std::string userName(int u);
std::string folderName(int f);
std::string folderDescription(int f);
std::string reportBaseName(int f, int r);  // file name without ".rpt"
std::string reportTitle(int f, int r);

int64_t objectCount(const TreeShape& shape);  // users + folders + reports
int64_t entryCount(const TreeShape& shape);   // entries of the instructions file

// Writes <dir>/src/<folder>/<report>.rpt for every report. Throws
// std::runtime_error on failure.
void writeSourceTree(const std::string& dir, const TreeShape& shape);

// Writes the instructions file. The publish element names no APS, so the
// run's own -apsname applies.
void writeInstructions(const std::string& path, const TreeShape& shape);

std::string sourceDir(const std::string& dir);
std::string reportPath(const std::string& dir, int f, int r);

}  // namespace bench

#endif  // KORVA_BENCH_BENCH_TREE_H_
