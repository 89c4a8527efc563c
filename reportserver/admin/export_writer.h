// Writing a planned export (export_plan.h) to its directory: publish.xml and
// the tree under reports/, each report's file streamed from the source and
// checked against the size and digest the plan read. All or nothing: the
// directory is refused when it exists with anything in it; the export is
// filled in a directory beside it ("<out>.partial-1", or the first number
// free) and given its name at the end; on any failure that directory is
// removed again, so that a failed export leaves nothing behind.
//
// Every directory and file is made through the new-tree service
// (platform/new_tree.h); names are spelled in this system's file names
// (platform/file_name_utf8.h).
//
// Thread-safety: one export at a time per source.
#ifndef KORVA_REPORTSERVER_ADMIN_EXPORT_WRITER_H_
#define KORVA_REPORTSERVER_ADMIN_EXPORT_WRITER_H_

#include <string>

#include "reportserver/admin/export_plan.h"
#include "reportserver/admin/export_source.h"

namespace korva {

// False with *error (full sentences) when nothing was written.
bool writeExport(const ExportPlan& plan, ExportSource& source, const std::string& outDir,
                 std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_ADMIN_EXPORT_WRITER_H_
