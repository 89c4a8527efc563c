// Out-of-line destructors of the meta objects, so that each class has one home
// for its virtual table.
//
// Thread-safety and ownership: see meta_objects.h.
#include "instructions/meta_objects.h"

CMAMetaObj::~CMAMetaObj() = default;
CMAMetaUserObj::~CMAMetaUserObj() = default;
CMAMetaFolderObj::~CMAMetaFolderObj() = default;
CMAMetaReportObj::~CMAMetaReportObj() = default;
