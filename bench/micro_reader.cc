// The instructions reader (CMAHandlerPublish::parseFile) on a generated
// instructions file, beside expat parsing the same file with empty
// callbacks (the least any reader over this parser can do), and beside
// expat with the least work the described reader adds (wide names and
// values, values back to multibyte, an ordered map of entries).
//
// Thread-safety: Google Benchmark runs each case on one thread.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/action_log.h"
#include "bench_tree.h"
#include "instructions/handler_publish.h"
#include "platform/com.h"

namespace {

const bool kLocaleSet = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;

// One file per entry count, made on first use and removed at exit.
class InstructionsFiles {
 public:
  ~InstructionsFiles() {
    std::error_code ec;
    for (auto& [n, path] : paths_) std::filesystem::remove(path, ec);
  }
  const std::string& get(int entries) {
    auto it = paths_.find(entries);
    if (it != paths_.end()) return it->second;
    bench::TreeShape shape;
    shape.folders = 0;
    shape.reportsPerFolder = 0;
    shape.users = 0;
    shape.extraEntries = entries;
    std::string path = (std::filesystem::temp_directory_path() /
                        ("korva-micro-" + std::to_string(entries) + ".xml"))
                           .string();
    bench::writeInstructions(path, shape);
    return paths_[entries] = path;
  }

 private:
  std::map<int, std::string> paths_;
};

InstructionsFiles files;

void BM_ReaderParseFile(benchmark::State& state) {
  const std::string& path = files.get(static_cast<int>(state.range(0)));
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // No log file: a line would go to standard output.
  ActionLog::open(nullptr);
  for (auto _ : state) {
    CMAHandlerPublish handler;
    handler.initialize("aps", "Administrator", "", "secEnterprise");
    if (handler.parseFile(path.c_str()) != 200) state.SkipWithError("parseFile failed");
    benchmark::DoNotOptimize(&handler);
  }
  CoUninitialize();
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_ReaderParseFile)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond);

void XMLCALL startElement(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL endElement(void*, const XML_Char*) {}

// Feeds the file to the parser in the buffer's chunks, as the product's
// reader does; false when the file cannot be read or is not well formed.
bool parseFileInChunks(XML_Parser parser, const std::string& path, std::vector<char>* buffer) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  bool ok = in != nullptr;
  while (ok) {
    size_t n = std::fread(buffer->data(), 1, buffer->size(), in);
    bool last = n < buffer->size();
    ok = XML_Parse(parser, buffer->data(), static_cast<int>(n), last) == XML_STATUS_OK;
    if (last) break;
  }
  if (in) std::fclose(in);
  return ok;
}

void BM_ExpatEmptyCallbacks(benchmark::State& state) {
  const std::string& path = files.get(static_cast<int>(state.range(0)));
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetElementHandler(parser, startElement, endElement);
    if (!parseFileInChunks(parser, path, &buffer)) state.SkipWithError("expat failed");
    XML_ParserFree(parser);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_ExpatEmptyCallbacks)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond);

// The least the described reader must do beyond parsing: its parser hands
// names and values over as wide text, each value is converted back to
// multibyte text, and every entry is stored in a map ordered by name. Here
// with standard strings, an ordered std::map and no error handling.
struct DescribedWork {
  struct Entry {
    std::string name, title, desc, icon, overwrite;
  };
  std::map<std::string, std::unique_ptr<Entry>> entries;
  std::wstring wide;
  std::string narrow;

  static std::wstring toWide(const char* utf8) {
    std::wstring out(std::strlen(utf8) + 1, L'\0');
    size_t n = std::mbstowcs(&out[0], utf8, out.size());
    out.resize(n == static_cast<size_t>(-1) ? 0 : n);
    return out;
  }
  static std::string toNarrow(const std::wstring& w) {
    std::string out(w.size() * MB_CUR_MAX + 1, '\0');
    size_t n = std::wcstombs(&out[0], w.c_str(), out.size());
    out.resize(n == static_cast<size_t>(-1) ? 0 : n);
    return out;
  }
};

void XMLCALL describedStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* work = static_cast<DescribedWork*>(data);
  std::wstring element = DescribedWork::toWide(name);
  if (element != L"report") return;
  auto entry = std::make_unique<DescribedWork::Entry>();
  for (const XML_Char** a = attributes; *a; a += 2) {
    std::wstring attribute = DescribedWork::toWide(a[0]);
    std::string value = DescribedWork::toNarrow(DescribedWork::toWide(a[1]));
    if (attribute == L"name") entry->name = value;
    else if (attribute == L"title") entry->title = value;
    else if (attribute == L"desc") entry->desc = value;
    else if (attribute == L"icon") entry->icon = value;
    else if (attribute == L"overwrite") entry->overwrite = value;
  }
  std::string key = entry->name;
  work->entries[key] = std::move(entry);
}

void BM_ExpatDescribedWork(benchmark::State& state) {
  const std::string& path = files.get(static_cast<int>(state.range(0)));
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    DescribedWork work;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &work);
    XML_SetElementHandler(parser, describedStart, endElement);
    if (!parseFileInChunks(parser, path, &buffer)) state.SkipWithError("expat failed");
    XML_ParserFree(parser);
    benchmark::DoNotOptimize(work.entries.size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ExpatDescribedWork)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
