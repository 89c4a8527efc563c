// CParamLineArgs: parsing korvapush's full command line and reading every
// option back, as the program does once per run.
//
// Thread-safety: Google Benchmark runs each case on one thread.
#include <benchmark/benchmark.h>

#include "support/param_line_args.h"
#include "support/sstring.h"

namespace {

const char* const kArgv[] = {"korvapush", "-apsname",  "reports.example.com", "-apsuser",
                             "Administrator", "-apspass", "secret", "-apsauth",
                             "secEnterprise", "-logfile", "/var/log/korva/publish.log",
                             "-srcfile", "/opt/product/publish.xml", "-srcpath",
                             "/opt/product/reports", nullptr};
const char* const kNames[] = {"apsname", "apsuser", "apspass", "apsauth",
                              "logfile", "srcfile", "srcpath", "help"};

void BM_ParamLineArgsParse(benchmark::State& state) {
  for (auto _ : state) {
    CParamLineArgs args(15, kArgv);
    benchmark::DoNotOptimize(&args);
  }
}
BENCHMARK(BM_ParamLineArgsParse);

void BM_ParamLineArgsParseAndRead(benchmark::State& state) {
  for (auto _ : state) {
    CParamLineArgs args(15, kArgv);
    for (const char* name : kNames) {
      SAnsiString value;
      benchmark::DoNotOptimize(args.getValue(name, &value));
    }
  }
}
BENCHMARK(BM_ParamLineArgsParseAndRead);

}  // namespace
