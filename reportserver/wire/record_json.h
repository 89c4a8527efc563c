// The JSON form of the store's plain records, the building blocks of the wire
// messages (wire_messages.h): plugins, session facts, object heads (compact
// arrays [id, typeId, parentId, title]), whole object records, rights
// ([objectId, userId, role]), report files, queries, object changes and store
// statuses. Each xxxJson writes one; each xxxFrom
// reads one strictly and throws MalformedValue (json_fields.h).
//
// A change names its plugin by type id only: the reader takes the plugin from
// the list given (the server's own), so a client cannot make up one. Its
// report file travels as the id of an upload, not as a path: the writer asks
// uploadIdOf for the id of the change's path, the reader uploadPathOf for the
// path of the id.
//
// Thread-safety: pure functions.
#ifndef KORVA_REPORTSERVER_WIRE_RECORD_JSON_H_
#define KORVA_REPORTSERVER_WIRE_RECORD_JSON_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reportserver/store/object_change.h"
#include "reportserver/store/query_parser.h"
#include "reportserver/store/report_file_sink.h"
#include "reportserver/store/store_records.h"
#include "reportserver/store/store_session.h"
#include "reportserver/store/store_status.h"
#include "reportserver/wire/json_fields.h"
#include "reportserver/wire/wire_messages.h"

namespace korva {
namespace wire {

Json pluginJson(const PluginInfo& plugin);
PluginInfo pluginFrom(const Json& value, const FieldPath& path);

Json factsJson(const SessionFacts& facts);
SessionFacts factsFrom(const Json& value, const FieldPath& path);

Json headJson(const ObjectHead& head);
ObjectHead headFrom(const Json& value, const FieldPath& path);

Json recordJson(const ObjectRecord& record);
ObjectRecord recordFrom(const Json& value, const FieldPath& path);

Json rightJson(const RightRecord& right);
RightRecord rightFrom(const Json& value, const FieldPath& path);

// {"name", "size", "sha256"}.
Json storedFileJson(const StoredFile& file);
StoredFile storedFileFrom(const Json& value, const FieldPath& path);

Json queryJson(const ParsedQuery& query);
ParsedQuery queryFrom(const Json& value, const FieldPath& path);

// A file sent with the commit: {"name", "size"} instead of an upload's id;
// the bytes are the commit's to carry.
struct SentFileHead {
  std::string name;
  uint64_t size = 0;
};

// sentFileOf may be empty (every file was uploaded).
Json changeJson(const ObjectChange& change, const UploadIdOf& uploadIdOf,
                const SentFileOf& sentFileOf);
// A change that names a file sent with the commit sets *sent (and no file
// path); without sent, such a change is malformed.
ObjectChange changeFrom(const Json& value, const FieldPath& path,
                        const std::vector<PluginInfo>& plugins, const UploadPathOf& uploadPathOf,
                        std::optional<SentFileHead>* sent);

// {"code", "description"} of a failure (never of success).
Json statusJson(const StoreStatus& status);
StoreStatus statusFrom(const Json& value, const FieldPath& path);

}  // namespace wire
}  // namespace korva

#endif  // KORVA_REPORTSERVER_WIRE_RECORD_JSON_H_
