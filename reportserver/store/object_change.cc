// Labels and merged records of object changes.
#include "reportserver/store/object_change.h"

namespace korva {

bool PendingChanges::changesFields() const {
  bool options = false;
  for (const auto& o : passwordOptions) options = options || o.has_value();
  return title || description || parentId || reportType || thumbnail || filePath || fullName ||
         passwordRecord || licenseType || options || !rights.empty();
}

std::string ObjectChange::objectLabel(const PluginInfo& plugin, bool isNew, int32_t id) {
  const std::string kind = plugin.name.empty() ? "object" : plugin.name;
  return isNew ? "new " + kind : kind + " " + std::to_string(id);
}

ObjectRecord ObjectChange::merged() const {
  ObjectRecord r;
  r.id = stored.id;
  r.typeId = stored.typeId;
  r.parentId = stored.parentId;
  r.title = stored.title;
  const PendingChanges& p = pending;
  if (p.title) r.title = *p.title;
  if (p.description) r.description = *p.description;
  if (p.parentId) r.parentId = *p.parentId;
  if (p.reportType) r.reportType = *p.reportType;
  if (p.thumbnail) r.thumbnail = *p.thumbnail;
  if (p.fullName) r.fullName = *p.fullName;
  if (p.passwordRecord) r.hasPassword = !p.passwordRecord->empty();
  for (int i = 0; i < 3; ++i) {
    if (p.passwordOptions[i]) r.passwordOptions[i] = *p.passwordOptions[i];
  }
  if (p.licenseType) r.licenseType = *p.licenseType;
  return r;
}

}  // namespace korva
