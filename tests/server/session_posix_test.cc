// The client's text conversion through the process's locale, in "C" and in
// "C.UTF-8": POSIX only, as the Windows C runtime has no UTF-8 locale and its
// "C" locale takes every byte as a character.
#include <clocale>
#include <stdexcept>
#include <string>

#include "server_test_util.h"

namespace {

using namespace korva_test;

using SessionLocaleTest = korva_test::ServerClientTest;

TEST_F(SessionLocaleTest, DetailTextKeepsWhatTheLocaleCannotShowAsQuestionMarks) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  const std::string heading =
      korva_test::blanks() + "The following error is returned from Veltrane Enterprise:";
  ASSERT_NE(std::setlocale(LC_CTYPE, "C"), nullptr);
  korva::setLastErrorDescription(L"Caf\u00E9 \u00BBSales\u00AB is locked.");
  client().logErrorDetail();
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  korva::setLastErrorDescription(L"Caf\u00E9 is locked.");
  client().logErrorDetail();
  std::setlocale(LC_CTYPE, saved.c_str());
  EXPECT_EQ(takeLines(), (Lines{heading, korva_test::blanks() + "Caf? ?Sales? is locked.", heading,
                                korva_test::blanks() + "Caf\xC3\xA9 is locked."}));
}

TEST_F(SessionLocaleTest, ToWideConvertsThroughTheLocaleAndRefusesInvalidText) {
  EXPECT_EQ(std::wstring(CMAVEObjV85::toWide("Sales 2003").getBuffer()), L"Sales 2003");
  EXPECT_EQ(std::wstring(CMAVEObjV85::toWide("").getBuffer()), L"");
  EXPECT_EQ(std::wstring(CMAVEObjV85::toWide(nullptr).getBuffer()), L"");

  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  EXPECT_EQ(std::wstring(CMAVEObjV85::toWide("Caf\xC3\xA9").getBuffer()), L"Caf\u00E9");
  EXPECT_THROW(CMAVEObjV85::toWide("Caf\xC3"), std::invalid_argument);
  std::setlocale(LC_CTYPE, saved.c_str());
}

TEST_F(SessionLocaleTest, ATextTheLocaleCannotConvertFailsTheOperationCleanly) {
  ASSERT_EQ(client().connect(kAps, kAdmin, kPassword, kAuth), kStatusOk);
  takeLines();
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  bool overwrite = false;
  int32_t id = -1;
  const int status = client().addFolder("Bad\xFF", "", &overwrite, 0, &id);
  std::setlocale(LC_CTYPE, saved.c_str());
  EXPECT_EQ(status, kStatusLogical);
  EXPECT_EQ(takeLines(), (Lines{E("Failed to obtain the info object with name Bad\xFF."),
                                E("Failed to add folder Bad\xFF to Veltrane Enterprise.")}));
}

}  // namespace
