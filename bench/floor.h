// The floor: the objects of a benchmark tree created, updated and deleted
// through the report server's object model directly (report_server.h), one
// commit per object, with no engine, no lookups by name and no log. It is
// the least work the server itself must do for what a publish stores, and
// each phase runs in a child process of its own so that its time and peak
// memory are its alone.
//
// Thread-safety: runs on the calling thread, which it initialises for the
// component runtime.
#ifndef KORVA_BENCH_FLOOR_H_
#define KORVA_BENCH_FLOOR_H_

#include <string>

#include "bench_tree.h"

namespace bench {

// Each answers 0, or writes why to standard error and answers 1.
// The publish writes the ids it created to idFile; update and delete read it.
// With lookups, it first reads the parent's children of the object's type
// and every child's title, as a client that finds objects by title must:
// the least a publish that looks before it adds can cost.
int floorPublish(const std::string& aps, const std::string& dir, const TreeShape& shape,
                 const std::string& idFile, bool lookups = false);
int floorUpdate(const std::string& aps, const std::string& dir, const TreeShape& shape,
                const std::string& idFile);
// Deletes folder f (and everything in it).
int floorDelete(const std::string& aps, const TreeShape& shape, const std::string& idFile, int f);

}  // namespace bench

#endif  // KORVA_BENCH_FLOOR_H_
