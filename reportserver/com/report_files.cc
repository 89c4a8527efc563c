// Attaching a report file: the path is kept in the object until its commit.
#include "reportserver/com/report_files.h"

#include <optional>

#include "com/ref.h"
#include "com/variant.h"
#include "reportserver/com/file_entry.h"
#include "reportserver/text/local_path.h"
#include "reportserver/text/utf8.h"

namespace korva {

HRESULT ReportFilesImpl::addFile(VARIANT path, LONG, VARIANT, IUnknown** out) {
  if (HRESULT hr = enterMethod("addFile", out); FAILED(hr)) return hr;
  const std::optional<BSTR> given = variantAs<BSTR>(path);
  if (!given) {
    return failWith(E_INVALIDARG, "addFile needs a string variant naming a local file.");
  }
  // The client spelled the path in the process's encoding; spell it back so.
  const std::wstring wide = wideOf(*given);
  std::string file;
  if (!localPathFromWide(wide, &file)) {
    return failWith(E_INVALIDARG,
                    "The path \"" + toUtf8(wide) +
                        "\" cannot be spelled in the character set of the process's locale.");
  }
  HRESULT hr = object_->pendFile(file);
  if (FAILED(hr)) return hr;
  *out = Ref<IUnknown>(new FileEntryImpl(file)).detach();
  return S_OK;
}

}  // namespace korva
