// The Windows programs and korvalink.dll carry a version resource: product
// name, version and file description, read back through the system's
// version API.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// The text of one value of the file's version resource, or "".
std::string versionValue(const std::string& file, const char* name) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (size == 0) return "";
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return "";
  const std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
  char* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) ||
      length == 0) {
    return "";
  }
  return std::string(value);
}

TEST(VersionResourceWin32, ProgramsNameProductVersionAndPurpose) {
  struct Case {
    const char* file;
    const char* description;
  } cases[] = {{"korvapush.exe", "Korva publisher"}, {"korvadrop.exe", "Korva remover"}};
  for (const Case& c : cases) {
    const std::string file = (std::filesystem::path(KORVA_BIN_DIR) / c.file).string();
    EXPECT_EQ(versionValue(file, "ProductName"), "Korva") << c.file;
    EXPECT_EQ(versionValue(file, "ProductVersion"), KORVA_VERSION) << c.file;
    EXPECT_EQ(versionValue(file, "FileDescription"), c.description) << c.file;
    EXPECT_EQ(versionValue(file, "OriginalFilename"), c.file) << c.file;
  }
}

TEST(VersionResourceWin32, TheEngineLibraryNamesProductVersionAndPurpose) {
  const std::string file = KORVA_KORVALINK_DLL;
  if (file.empty()) GTEST_SKIP() << "korvalink.dll is not built (KORVA_WIN32_ENGINE is off)";
  EXPECT_EQ(versionValue(file, "ProductName"), "Korva");
  EXPECT_EQ(versionValue(file, "ProductVersion"), KORVA_VERSION);
  EXPECT_EQ(versionValue(file, "FileDescription"), "Korva publishing engine library");
  EXPECT_EQ(versionValue(file, "OriginalFilename"), "korvalink.dll");
}

}  // namespace
