// korvaserver.dll as an in-process COM server: once regsvr32 has registered
// it, both classes name the library and the apartment threading model, and
// CoCreateInstance hands out the session manager from it; loaded by hand, it
// serves only its two classes and may be unloaded exactly when none of its
// objects is alive and no class factory is locked.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/class_registry.h"
#include "platform/com.h"
#include "server/report_server.h"

namespace {

namespace fs = std::filesystem;

std::string threadingModelOf(REFCLSID classId) {
  const std::string key = "CLSID\\" + korva::classIdText(classId) + "\\InprocServer32";
  char value[64] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), "ThreadingModel", RRF_RT_REG_SZ, nullptr, value,
                   &size) != ERROR_SUCCESS) {
    return "";
  }
  return value;
}

TEST(KorvaServerDll, RegistrationNamesTheLibraryForBothClasses) {
  EXPECT_EQ(korva::classIdText(korva::CLSID_SessionManager),
            "{07C125F2-0E5A-11D3-B339-00A0C9B04E87}");
  for (const CLSID* id : {&korva::CLSID_SessionManager, &korva::CLSID_ErrorSource}) {
    const std::string registered = korva::registeredInprocServer(*id);
    ASSERT_FALSE(registered.empty()) << korva::classIdText(*id);
    EXPECT_TRUE(fs::equivalent(registered, KORVA_SERVER_DLL)) << registered;
    EXPECT_EQ(threadingModelOf(*id), "Apartment");
  }
}

TEST(KorvaServerDll, CoCreateInstanceReachesTheRegisteredServer) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    korva::Ref<korva::SessionManager> manager;
    EXPECT_EQ(CoCreateInstance(korva::CLSID_SessionManager, nullptr, CLSCTX_ALL,
                               korva::IID_SessionManager, manager.putVoid()),
              S_OK);
    EXPECT_TRUE(manager);
    korva::Ref<korva::ErrorSource> errors;
    EXPECT_EQ(CoCreateInstance(korva::CLSID_ErrorSource, nullptr, CLSCTX_ALL,
                               korva::IID_ErrorSource, errors.putVoid()),
              S_OK);
  }
  CoUninitialize();
}

// The library's entries, loaded without the registry.
class LoadedServer : public ::testing::Test {
 protected:
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

  void SetUp() override {
    library_ = LoadLibraryA(KORVA_SERVER_DLL);
    ASSERT_NE(library_, nullptr);
    getClassObject_ = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(library_, "DllGetClassObject")));
    canUnloadNow_ = reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(library_, "DllCanUnloadNow")));
    ASSERT_NE(getClassObject_, nullptr);
    ASSERT_NE(canUnloadNow_, nullptr);
  }
  void TearDown() override {
    if (library_) FreeLibrary(library_);
  }

  HMODULE library_ = nullptr;
  GetClassObject getClassObject_ = nullptr;
  CanUnloadNow canUnloadNow_ = nullptr;
};

TEST_F(LoadedServer, ServesItsTwoClassesOnly) {
  IClassFactory* factory = nullptr;
  EXPECT_EQ(getClassObject_(korva::IID_SessionManager, IID_IClassFactory,
                            reinterpret_cast<void**>(&factory)),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(getClassObject_(korva::CLSID_ErrorSource, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(getClassObject_(korva::CLSID_ErrorSource, IID_IClassFactory,
                            reinterpret_cast<void**>(&factory)),
            S_OK);
  ASSERT_NE(factory, nullptr);
  factory->Release();
}

TEST_F(LoadedServer, MayBeUnloadedOnlyWithoutLiveObjectsOrLocks) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject_(korva::CLSID_SessionManager, IID_IClassFactory,
                            reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(canUnloadNow_(), S_OK);

  IUnknown* manager = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, korva::IID_SessionManager,
                                    reinterpret_cast<void**>(&manager)),
            S_OK);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  manager->Release();
  EXPECT_EQ(canUnloadNow_(), S_OK);

  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(canUnloadNow_(), S_OK);
  factory->Release();
}

}  // namespace
