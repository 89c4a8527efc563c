// Fixture of the report file tests: a connection with a folder "F" to
// attach reports in, the export of a report's content, random content, and
// an opener that lets a test act before every read of a report file.
//
// Thread-safety: tests run one at a time on one thread.
// Ownership: the fixture owns its connection; an installed WatchedOpener is
// put back when it goes.
#ifndef KORVA_TESTS_REPORTSERVER_REPORT_FILE_FIXTURE_H_
#define KORVA_TESTS_REPORTSERVER_REPORT_FILE_FIXTURE_H_

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "platform/file_reader.h"
#include "reportserver/store/repository.h"
#include "tests/reportserver/server_fixture.h"

namespace korva_rs_test {

inline std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

// Opens files as the system does while installed, and lets a test act before
// every read of a report file: a non-zero answer of beforeRead is what the
// read answers.
class WatchedOpener : public korva::FileOpener {
 public:
  WatchedOpener() : previous_(korva::setFileOpenerForTesting(this)) {}
  ~WatchedOpener() override { korva::setFileOpenerForTesting(previous_); }
  WatchedOpener(const WatchedOpener&) = delete;
  WatchedOpener& operator=(const WatchedOpener&) = delete;

  std::function<int()> beforeRead = [] { return 0; };

  int open(const std::string& path, std::unique_ptr<korva::FileReader>* reader) override {
    std::unique_ptr<korva::FileReader> real;
    int error = korva::defaultFileOpener().open(path, &real);
    if (error == 0) *reader = std::make_unique<Reader>(std::move(real), this);
    return error;
  }

 private:
  class Reader : public korva::FileReader {
   public:
    Reader(std::unique_ptr<korva::FileReader> real, WatchedOpener* owner)
        : real_(std::move(real)), owner_(owner) {}
    korva::FileKind kind() const override { return real_->kind(); }
    int read(void* buffer, size_t size, size_t* got) override {
      *got = 0;
      int error = owner_->beforeRead();
      return error != 0 ? error : real_->read(buffer, size, got);
    }

   private:
    std::unique_ptr<korva::FileReader> real_;
    WatchedOpener* owner_;
  };

  korva::FileOpener* previous_;
};

class ReportFileTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    c_ = connect();
    folder_ = addFolder(c_, L"F");
  }

  std::string exported(int32_t id) {
    static int serial = 0;
    std::string path = (home_ / ("out" + std::to_string(serial++))).string();
    std::string error;
    EXPECT_TRUE(korva::exportReportContent("localhost", id, path, &error)) << error;
    return readFile(path);
  }

  // Attaches the file to a new report in the folder, pending in *list;
  // answers what addFile answered.
  HRESULT attachToNew(const std::wstring& path, Ref<korva::InfoObjects>* list) {
    *list = children(c_, folder_, "Report");
    Ref<korva::InfoObject> report = newIn(c_, *list, "Report");
    report->setTitle(B(L"R"));
    report->setProperty(B(L"SI_PARENTID"), Variant::fromInt(folder_));
    Ref<korva::ReportFiles> files;
    Ref<IUnknown> answer;
    EXPECT_EQ(report->files(files.put()), S_OK);
    return files->addFile(Variant::fromString(path), 1, Variant(), answer.put());
  }

  Connection c_;
  int32_t folder_ = 0;
};

}  // namespace korva_rs_test

#endif  // KORVA_TESTS_REPORTSERVER_REPORT_FILE_FIXTURE_H_
