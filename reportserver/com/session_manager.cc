// Logon: from the four texts to a session on the APS's repository, with a
// clear description for every refusal.
#include "reportserver/com/session_manager.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "reportserver/com/session.h"
#include "reportserver/store/password_hash.h"
#include "reportserver/store/repository.h"
#include "reportserver/store/server_home.h"
#include "reportserver/testing/fault_injection.h"
#include "reportserver/text/utf8.h"

namespace korva {

IUnknown* SessionManagerImpl::interfaceFor(REFIID iid) {
  if (iid == IID_SessionManager) return this;
  return dispatchInterface(this, iid);
}

HRESULT SessionManagerImpl::logon(BSTR user, BSTR password, BSTR apsName, BSTR authentication,
                                  Session** session) {
  if (HRESULT hr = enterMethod("logon", user, password, apsName, authentication, session);
      FAILED(hr)) {
    return hr;
  }

  const std::string aps = textOf(apsName);
  std::string name, path, error;
  if (!repositoryLocation(aps, &name, &path, &error)) {
    return failWith(isValidApsName(aps) ? E_FAIL : E_INVALIDARG, error);
  }
  if (textOf(authentication) != "secEnterprise") {
    return failWith(E_INVALIDARG, "The authentication type \"" + textOf(authentication) +
                                      "\" is not supported; use \"secEnterprise\".");
  }
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    return failWith(E_FAIL, "There is no repository for APS \"" + name + "\" (" + path +
                                "); create it with \"korvaserver init -apsname " + name + "\".");
  }

  auto ctx = std::make_shared<SessionContext>();
  if (!openRepository(path, &ctx->db, &error)) return failWith(E_FAIL, error);
  ctx->apsName = name;
  ctx->path = path;
  ctx->pluginPlan = pluginPlan_;
  std::string adminId;
  if (!loadPlugins(ctx->db, &ctx->plugins, &error) ||
      !readSetting(ctx->db, "administrator_id", &adminId, &error)) {
    return failWith(E_FAIL, error);
  }
  ctx->administratorId = static_cast<int32_t>(std::strtol(adminId.c_str(), nullptr, 10));

  const std::string userName = textOf(user);
  bool found = false;
  std::string record;
  if (!findUserForLogon(ctx->db, userName, &ctx->userId, &found, &record, &error)) {
    return failWith(E_FAIL, error);
  }
  if (!found) {
    return failWith(E_ACCESSDENIED, "Logon refused: there is no user \"" + userName +
                                        "\" on APS \"" + name + "\".");
  }
  const std::string given = textOf(password);
  bool matches = record.empty() ? given.empty() : verifyPassword(given, record);
  if (!matches) {
    return failWith(E_ACCESSDENIED,
                    "Logon refused: the password of user \"" + userName + "\" is wrong.");
  }
  ctx->userName = userName;
  ctx->administrator = ctx->userId == ctx->administratorId;
  if (!ctx->administrator) ctx->answers.showOnlyWhatMayBeSeenBy(ctx->userId);
  *session = Ref<Session>(new SessionImpl(ctx)).detach();
  return S_OK;
}

HRESULT createSessionManager(IUnknown* outer, REFIID iid, void** out) {
  HRESULT hr = beginCreate(outer, out, "SessionManager");
  if (FAILED(hr)) return hr;
  Ref<SessionManagerImpl> manager(new SessionManagerImpl(currentPluginPlan()));
  return manager->QueryInterface(iid, out);
}

}  // namespace korva
