// The instructions reader (CMAHandlerPublish::parseFile) on a generated
// instructions file, beside expat parsing the same file with empty
// callbacks: the least any reader over this parser can do.
//
// Thread-safety: Google Benchmark runs each case on one thread.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "actions/action_log.h"
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
  korva::comInitialize();
  ActionLog::open("stdout");
  for (auto _ : state) {
    CMAHandlerPublish handler;
    handler.initialize("aps", "Administrator", "", "secEnterprise");
    if (handler.parseFile(path.c_str()) != 200) state.SkipWithError("parseFile failed");
    benchmark::DoNotOptimize(&handler);
  }
  korva::comUninitialize();
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_ReaderParseFile)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond);

void XMLCALL startElement(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL endElement(void*, const XML_Char*) {}

void BM_ExpatEmptyCallbacks(benchmark::State& state) {
  const std::string& path = files.get(static_cast<int>(state.range(0)));
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetElementHandler(parser, startElement, endElement);
    std::FILE* in = std::fopen(path.c_str(), "rb");
    bool ok = in != nullptr;
    while (ok) {
      size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
      bool last = n < buffer.size();
      ok = XML_Parse(parser, buffer.data(), static_cast<int>(n), last) == XML_STATUS_OK;
      if (last) break;
    }
    if (in) std::fclose(in);
    if (!ok) state.SkipWithError("expat failed");
    XML_ParserFree(parser);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_ExpatEmptyCallbacks)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
