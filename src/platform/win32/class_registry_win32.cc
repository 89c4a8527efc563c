// The in-process server registry on Windows: HKEY_CLASSES_ROOT\CLSID\{id}
// with the class's description, and its InprocServer32 subkey with the
// library's full path and ThreadingModel.
//
// Thread-safety: every call opens and closes its own keys.
// Ownership: each opened key is closed by its RegistryKey owner.
#include "platform/win32/windows_api.h"
// windows_api.h first: it brings Winsock 2 before windows.h.
#include <olectl.h>

#include <cstdio>
#include <string>

#include "platform/class_registry.h"
#include "platform/module.h"

namespace korva {
namespace {

// An open registry key, closed when the owner goes.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Creates (or opens) the key below parent for writing.
  bool create(HKEY parent, const std::string& name) {
    return RegCreateKeyExA(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                           nullptr, &key_, nullptr) == ERROR_SUCCESS;
  }
  bool openForReading(HKEY parent, const std::string& name) {
    return RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, &key_) == ERROR_SUCCESS;
  }
  // Sets a text value; an empty name is the key's default value.
  bool setText(const char* name, const std::string& value) {
    return RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
  }
  // The default value's text, or "" when it has none.
  std::string defaultText() const {
    char buffer[MAX_PATH * 4];
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key_, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
      return std::string();
    }
    buffer[size] = '\0';
    return std::string(buffer);
  }

 private:
  HKEY key_ = nullptr;
};

std::string classKeyName(REFCLSID classId) { return "CLSID\\" + classIdText(classId); }

// Deletes the key and its one level of subkeys that a registration writes.
bool deleteClassKey(const std::string& name) {
  LONG inproc = RegDeleteKeyA(HKEY_CLASSES_ROOT, (name + "\\InprocServer32").c_str());
  LONG cls = RegDeleteKeyA(HKEY_CLASSES_ROOT, name.c_str());
  auto fine = [](LONG r) { return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND; };
  return fine(inproc) && fine(cls);
}

}  // namespace

std::string classIdText(REFCLSID id) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1],
                id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
  return text;
}

HRESULT registerInprocServer(REFCLSID classId, const std::string& description,
                             const void* moduleAddress, const std::string& threadingModel) {
  const std::string modulePath = modulePathOf(moduleAddress);
  if (modulePath.empty()) return SELFREG_E_CLASS;
  const std::string name = classKeyName(classId);
  bool written = false;
  {
    RegistryKey cls;
    RegistryKey inproc;
    written = cls.create(HKEY_CLASSES_ROOT, name) && cls.setText(nullptr, description) &&
              inproc.create(HKEY_CLASSES_ROOT, name + "\\InprocServer32") &&
              inproc.setText(nullptr, modulePath) &&
              inproc.setText("ThreadingModel", threadingModel);
  }
  if (written) return S_OK;
  deleteClassKey(name);
  return SELFREG_E_CLASS;
}

HRESULT unregisterInprocServer(REFCLSID classId) {
  return deleteClassKey(classKeyName(classId)) ? S_OK : SELFREG_E_CLASS;
}

std::string registeredInprocServer(REFCLSID classId) {
  RegistryKey inproc;
  if (!inproc.openForReading(HKEY_CLASSES_ROOT, classKeyName(classId) + "\\InprocServer32")) {
    return std::string();
  }
  return inproc.defaultText();
}

}  // namespace korva
