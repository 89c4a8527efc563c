// Module paths and the temporary directory on Windows, against what the
// system itself answers.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/module.h"

namespace {

int someFunction() { return 42; }

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string programPath() {
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return std::string(buffer, length);
}

TEST(ModuleWin32Test, PathOfCodeNamesItsModuleWhateverTheCurrentDirectory) {
  const std::string program = programPath();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(korva::modulePathOf(reinterpret_cast<const void*>(&someFunction)), program);
  const std::filesystem::path cwd = std::filesystem::current_path();
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
  const std::string fromRoot = korva::modulePathOf(reinterpret_cast<const void*>(&someFunction));
  std::filesystem::current_path(cwd);
  EXPECT_EQ(fromRoot, program);

  const void* tick = reinterpret_cast<const void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount"));
  ASSERT_NE(tick, nullptr);
  const std::string library = lower(korva::modulePathOf(tick));
  EXPECT_NE(library.find("kernel32.dll"), std::string::npos) << library;
}

TEST(ModuleWin32Test, AddressOutsideAnyModuleHasNoPath) {
  int onTheStack = 0;
  std::unique_ptr<int> onTheHeap(new int(0));
  EXPECT_EQ(korva::modulePathOf(nullptr), "");
  EXPECT_EQ(korva::modulePathOf(&onTheStack), "");
  EXPECT_EQ(korva::modulePathOf(onTheHeap.get()), "");
}

TEST(ModuleWin32Test, TemporaryDirectoryIsTheSystemsWithItsSeparator) {
  char buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof buffer, buffer);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(korva::temporaryDirectory(), std::string(buffer, length));

  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "korva-tmp-test";
  std::filesystem::create_directories(dir);
  char saved[MAX_PATH + 1];
  const DWORD savedLength = GetEnvironmentVariableA("TMP", saved, sizeof saved);
  ASSERT_TRUE(SetEnvironmentVariableA("TMP", dir.string().c_str()));
  const std::string answered = korva::temporaryDirectory();
  SetEnvironmentVariableA("TMP", savedLength > 0 ? saved : nullptr);
  std::filesystem::remove(dir);
  EXPECT_EQ(lower(answered), lower(dir.string() + "\\"));
}

}  // namespace
