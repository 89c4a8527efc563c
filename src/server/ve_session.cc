// CMAVEObjV85's session: logging on to the APS, obtaining the InfoStore,
// finding the User, Folder and Report desktop plugins, disconnecting, writing
// the server's detailed error text, and the 8-bit to wide conversion used for
// every text handed to the server.
//
// Thread-safety: as the class (one thread per instance).
// Ownership: the session's references live in the instance's fields; every
// other reference is a local Ref released on every path.
#include <stdexcept>
#include <string>

#include "common/action_log.h"
#include "common/status.h"
#include "server/ve_obj_v85.h"

using korva::DesktopPlugin;
using korva::failed;
using korva::InfoObject;
using korva::InfoObjects;
using korva::PluginManager;
using korva::Ref;
using korva::Unknown;
using korva::Variant;

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

int CMAVEObjV85::settle(int status) {
  if (status == kStatusOk) status = kStatusLogical;
  if (status == kStatusServer) logErrorDetail();
  return status;
}

void CMAVEObjV85::logErrorDetail() {
  try {
    Ref<korva::ErrorSource> source;
    Ref<korva::ErrorInfo> error;
    std::wstring description;
    if (!failed(korva::createInstance(korva::kCLSID_ErrorSource, &source)) && source &&
        !failed(source->lastError(&error)) && error && !failed(error->description(&description))) {
      SAnsiString detail = toAnsi(description);
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
    korva::HRESULT hr = korva::createInstance(korva::kCLSID_SessionManager, &sessionManager_);
    if (failed(hr) || !sessionManager_) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to create an instance of Veltrane Enterprise session manager.");
      fail(&status, kStatusSystem);
    }

    {
      // The wide copies live only for the call.
      SWCharString wideUser = toWide(userName);
      SWCharString widePassword = toWide(password);
      SWCharString wideAps = toWide(apsName);
      SWCharString wideAuthentication = toWide(authentication);
      hr = sessionManager_->logon(wideUser.getBuffer(), widePassword.getBuffer(),
                                  wideAps.getBuffer(), wideAuthentication.getBuffer(), &session_);
    }
    if (failed(hr) || !session_) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to logon to APS %s as %s with %s authentication.",
                         text(apsName), text(userName), text(authentication));
      fail(&status, kStatusServer);
    }

    Ref<Unknown> service;
    hr = session_->getService(L"", L"InfoStore", &service);
    if (failed(hr) || !service) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to obtain InfoStore service from current session.");
      fail(&status, kStatusServer);
    }

    hr = service.query(&infoStore_);
    if (failed(hr) || !infoStore_) {
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
    korva::HRESULT hr = session_ ? session_->getPluginManager(&manager) : korva::E_POINTER;
    if (failed(hr) || !manager) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to obtain plugin manager from current session.");
      fail(&status, kStatusServer);
    }

    Ref<InfoObjects> plugins;
    hr = manager->getPlugins(L"Desktop", &plugins);
    if (failed(hr) || !plugins) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to obtain the list of desktop plugins from plugin manager.");
      fail(&status, kStatusServer);
    }

    int32_t count = 0;
    if (failed(plugins->count(&count))) {
      ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                         "Failed to obtain item count from the list of desktop plugins.");
      fail(&status, kStatusServer);
    }

    for (int32_t i = 1; i <= count; ++i) {
      Ref<InfoObject> item;
      hr = plugins->item(Variant::fromInt(i), &item);
      if (failed(hr) || !item) {
        ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to obtain plugin %d from the list of desktop plugins.",
                           i);
        fail(&status, kStatusServer);
      }
      // An entry of the list that is not a desktop plugin is an interface
      // missing, not a refusal of the server: no detail text to show.
      Ref<DesktopPlugin> plugin;
      hr = item.query(&plugin);
      if (failed(hr) || !plugin) {
        ActionLog::logLine(KORVA_ERROR KORVA_CTX_PUBLISH
                           "Failed to obtain plugin %d from the list of desktop plugins.",
                           i);
        fail(&status, kStatusLogical);
      }
      std::wstring name;
      if (failed(plugin->name(&name))) {
        ActionLog::logLine(
            KORVA_ERROR KORVA_CTX_PUBLISH "Failed to obtain the name of desktop plugin %d.", i);
        fail(&status, kStatusServer);
      }
      // Exact, case-sensitive names; a later entry replaces an earlier one.
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
      int16_t typeId = -1;
      if (failed((*w.plugin)->typeId(&typeId))) {
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
