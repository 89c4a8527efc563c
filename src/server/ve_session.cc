// CMAVEObjV85's session: logging on to the APS, obtaining the InfoStore,
// finding the User, Folder and Report desktop plugins, disconnecting, writing
// the server's detailed error text, and the 8-bit to wide conversion used for
// every text handed to the server.
//
// Thread-safety: as the class (one thread per instance).
// Ownership: the session's references live in the instance's fields; every
// other reference is a local Ref released on every path.
#include <new>
#include <stdexcept>
#include <string>

#include "com/bstr.h"
#include "com/ref.h"
#include "com/variant.h"
#include "common/action_log.h"
#include "common/status.h"
#include "server/ve_obj_v85.h"

using korva::Bstr;
using korva::DesktopPlugin;
using korva::InfoObjects;
using korva::PluginManager;
using korva::Ref;

namespace {

// Wide text to 8-bit for the log. A character the locale cannot represent
// becomes '?', so that the server's message is never lost to one character.
SAnsiString toAnsi(const std::wstring& wide) {
  SAnsiString out;
  if (out.assign(wide.c_str())) return out;
  for (wchar_t c : wide) {
    const wchar_t one[2] = {c, L'\0'};
    SAnsiString piece;
    if (piece.assign(one)) {
      out += piece;
    } else {
      out += '?';
    }
  }
  return out;
}

}  // namespace

CMAVEObjV85::CMAVEObjV85() = default;

CMAVEObjV85::~CMAVEObjV85() {
  disconnect();
  // The Ref members drop anything still held as they are destroyed.
}

bool CMAVEObjV85::isConnected() const {
  return sessionManager_ && session_ && infoStore_ && userPlugin_ && folderPlugin_ && reportPlugin_;
}

SWCharString CMAVEObjV85::toWide(const char* text) {
  SWCharString wide;
  if (text && *text && !wide.assign(text)) {
    throw std::invalid_argument("text is not valid multibyte text in the current locale");
  }
  return wide;
}

Bstr CMAVEObjV85::toBstr(const char* text) {
  const SWCharString wide = toWide(text);
  Bstr b(wide.getBuffer(), static_cast<size_t>(wide.getNChars()));
  if (!b.get()) throw std::bad_alloc();
  return b;
}

korva::Variant CMAVEObjV85::toVariant(const char* text) {
  const SWCharString wide = toWide(text);
  korva::Variant v = korva::Variant::fromString(std::wstring(wide.getBuffer(), wide.getNChars()));
  if (!korva::variantAs<BSTR>(v.get())) throw std::bad_alloc();
  return v;
}

Bstr CMAVEObjV85::wideBstr(const wchar_t* text) {
  Bstr b(text);
  if (!b.get()) throw std::bad_alloc();
  return b;
}

int CMAVEObjV85::settle(int status) {
  if (status == kStatusOk) status = kStatusLogical;
  if (status == kStatusServer) logErrorDetail();
  return status;
}

void CMAVEObjV85::logErrorDetail() {
  try {
    Ref<korva::ErrorSource> source;
    Ref<korva::ErrorInfo> error;
    Bstr description;
    if (SUCCEEDED(korva::createInstance(korva::CLSID_ErrorSource, CLSCTX_SERVER, &source)) &&
        source && SUCCEEDED(source->lastError(error.put())) && error &&
        SUCCEEDED(error->description(description.put()))) {
      SAnsiString detail = toAnsi(description.str());
      ActionLog::logLine(
          "                         "
          "The following error is returned from Veltrane Enterprise:");
      ActionLog::logLine("                         %s", detail.getBuffer());
      return;
    }
  } catch (...) {
  }
  ActionLog::logLine(
      "                         "
      "Failed to retrieve detailed error from Veltrane Enterprise.");
}

int CMAVEObjV85::connect(const char* apsName, const char* userName, const char* password,
                         const char* authentication) {
  int status = logon(apsName, userName, password, authentication);
  if (status != kStatusOk) {
    disconnect();
    return status;
  }
  status = loadPlugins();
  if (status != kStatusOk) {
    disconnect();
    return status;
  }
  ActionLog::logLine(KORVA_INFO KORVA_CTX_PUBLISH
                     "Successfully initialized connection to APS %s as %s.",
                     text(apsName), text(userName));
  return kStatusOk;
}

int CMAVEObjV85::logon(const char* apsName, const char* userName, const char* password,
                       const char* authentication) {
  int status = kStatusOk;
  try {
    HRESULT hr =
        korva::createInstance(korva::CLSID_SessionManager, CLSCTX_SERVER, &sessionManager_);
    if (FAILED(hr) || !sessionManager_) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to create an instance of Veltrane Enterprise session manager.");
      fail(&status, kStatusSystem);
    }

    {
      // The wide copies live only for the call.
      Bstr wideUser = toBstr(userName);
      Bstr widePassword = toBstr(password);
      Bstr wideAps = toBstr(apsName);
      Bstr wideAuthentication = toBstr(authentication);
      hr = sessionManager_->logon(wideUser, widePassword, wideAps, wideAuthentication,
                                  session_.put());
    }
    if (FAILED(hr) || !session_) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to logon to APS %s as %s with %s authentication.",
                         text(apsName), text(userName), text(authentication));
      fail(&status, kStatusServer);
    }

    Ref<IUnknown> service;
    hr = session_->getService(wideBstr(L""), wideBstr(L"InfoStore"), service.put());
    if (FAILED(hr) || !service) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to obtain InfoStore service from current session.");
      fail(&status, kStatusServer);
    }

    hr = service.query(&infoStore_);
    if (FAILED(hr) || !infoStore_) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to obtain proper interface from the InfoStore service.");
      fail(&status, kStatusLogical);
    }
    return kStatusOk;
  } catch (...) {
  }
  status = settle(status);
  ActionLog::logStatusLine(status,
                           KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to establish connection to APS %s as %s with %s "
                           "authentication.",
                           text(apsName), text(userName), text(authentication));
  return status;
}

int CMAVEObjV85::loadPlugins() {
  int status = kStatusOk;
  try {
    Ref<PluginManager> manager;
    HRESULT hr = session_ ? session_->getPluginManager(manager.put()) : E_POINTER;
    if (FAILED(hr) || !manager) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to obtain plugin manager from current session.");
      fail(&status, kStatusServer);
    }

    Ref<InfoObjects> plugins;
    hr = manager->getPlugins(wideBstr(L"Desktop"), plugins.put());
    if (FAILED(hr) || !plugins) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to obtain the list of desktop plugins from plugin manager.");
      fail(&status, kStatusServer);
    }

    LONG count = 0;
    if (FAILED(plugins->count(&count))) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to obtain item count from the list of desktop plugins.");
      fail(&status, kStatusServer);
    }

    for (LONG i = 1; i <= count; ++i) {
      // The plugin list's items are desktop plugins.
      Ref<DesktopPlugin> plugin;
      hr = korva::itemAs(plugins.get(), i, &plugin);
      if (FAILED(hr) || !plugin) {
        ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to obtain plugin %d from the list of desktop plugins.",
                           static_cast<int>(i));
        fail(&status, kStatusServer);
      }
      Bstr text;
      if (FAILED(plugin->name(text.put()))) {
        ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to obtain the name of desktop plugin %d.",
                           static_cast<int>(i));
        fail(&status, kStatusServer);
      }
      // Exact, case-sensitive names; a later entry replaces an earlier one.
      const std::wstring name = text.str();
      if (name == L"User") {
        userPlugin_ = plugin;
      } else if (name == L"Folder") {
        folderPlugin_ = plugin;
      } else if (name == L"Report") {
        reportPlugin_ = plugin;
      }
    }

    struct Wanted {
      const Ref<DesktopPlugin>* plugin;
      int16_t* typeId;
      const char* word;
    };
    const Wanted wanted[] = {{&userPlugin_, &userTypeId_, "user"},
                             {&folderPlugin_, &folderTypeId_, "folder"},
                             {&reportPlugin_, &reportTypeId_, "report"}};
    for (const Wanted& w : wanted) {
      if (!*w.plugin) {
        ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to obtain the %s plugin from the list of desktop plugin.",
                           w.word);
        fail(&status, kStatusLogical);
      }
    }
    for (const Wanted& w : wanted) {
      SHORT typeId = -1;
      if (FAILED((*w.plugin)->typeId(&typeId))) {
        ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to obtain the type id of the %s desktop plugin.",
                           w.word);
        fail(&status, kStatusServer);
      }
      *w.typeId = typeId;
    }
    return kStatusOk;
  } catch (...) {
  }
  status = settle(status);
  ActionLog::logStatusLine(status, KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to obtain required desktop plugin interfaces for "
                           "publishing objects");
  return status;
}

void CMAVEObjV85::disconnect() {
  // Plugins first, then the InfoStore, the session and the session manager.
  // Ref::reset empties the field before releasing; a failing release must not
  // keep the others from being released.
  Ref<DesktopPlugin>* plugins[] = {&userPlugin_, &folderPlugin_, &reportPlugin_};
  for (Ref<DesktopPlugin>* p : plugins) {
    try {
      p->reset();
    } catch (...) {
    }
  }
  try {
    infoStore_.reset();
  } catch (...) {
  }
  try {
    session_.reset();
  } catch (...) {
  }
  try {
    sessionManager_.reset();
  } catch (...) {
  }
}
