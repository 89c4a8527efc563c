// SIMap lookups with string keys beside std::map with std::string keys: the
// reader's maps are keyed by entry names like these.
//
// Thread-safety: Google Benchmark runs each case on one thread.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "bench_tree.h"
#include "support/containers.h"
#include "support/sstring.h"

namespace {

std::vector<std::string> keys(int n) {
  std::vector<std::string> k;
  for (int i = 0; i < n; ++i) k.push_back(bench::reportBaseName(i / 100, i % 100));
  return k;
}

void BM_SIMapLookup(benchmark::State& state) {
  const std::vector<std::string> names = keys(static_cast<int>(state.range(0)));
  SIMap<SAnsiString, int> map;
  std::vector<SAnsiString> probes;
  for (size_t i = 0; i < names.size(); ++i) {
    map.setAt(SAnsiString(names[i].c_str()), static_cast<int>(i));
    probes.emplace_back(names[(i * 7919) % names.size()].c_str());
  }
  size_t i = 0;
  for (auto _ : state) {
    int value = 0;
    benchmark::DoNotOptimize(map.lookup(probes[i], value));
    benchmark::DoNotOptimize(value);
    if (++i == probes.size()) i = 0;
  }
}
BENCHMARK(BM_SIMapLookup)->Arg(100)->Arg(10000)->Arg(200000);

void BM_StdMapLookup(benchmark::State& state) {
  const std::vector<std::string> names = keys(static_cast<int>(state.range(0)));
  std::map<std::string, int> map;
  std::vector<std::string> probes;
  for (size_t i = 0; i < names.size(); ++i) {
    map[names[i]] = static_cast<int>(i);
    probes.push_back(names[(i * 7919) % names.size()]);
  }
  size_t i = 0;
  for (auto _ : state) {
    auto it = map.find(probes[i]);
    benchmark::DoNotOptimize(it);
    if (++i == probes.size()) i = 0;
  }
}
BENCHMARK(BM_StdMapLookup)->Arg(100)->Arg(10000)->Arg(200000);

}  // namespace
