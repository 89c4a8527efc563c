// SAnsiString beside std::string doing the same work: copies of 100-byte
// texts, an append loop, comparison, and conversion to wide text.
//
// Thread-safety: Google Benchmark runs each case on one thread.
#include <benchmark/benchmark.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/sstring.h"

namespace {

// The programs take the character type from the environment; the
// benchmarks fix it so that every machine converts the same way.
const bool kLocaleSet = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;

std::string text100() {
  std::string s;
  for (int i = 0; s.size() < 100; ++i) s += "Report " + std::to_string(i) + " ";
  s.resize(100);
  return s;
}

void BM_SAnsiStringCopy100(benchmark::State& state) {
  const SAnsiString source(text100().c_str());
  for (auto _ : state) {
    SAnsiString copy(source);
    benchmark::DoNotOptimize(copy.getBuffer());
  }
}
BENCHMARK(BM_SAnsiStringCopy100);

void BM_StdStringCopy100(benchmark::State& state) {
  const std::string source = text100();
  for (auto _ : state) {
    std::string copy(source);
    benchmark::DoNotOptimize(copy.data());
  }
}
BENCHMARK(BM_StdStringCopy100);

// Builds a text of n ten-byte pieces from empty, as a log line or path grows.
void BM_SAnsiStringAppend(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    SAnsiString s;
    for (int i = 0; i < n; ++i) s += "0123456789";
    benchmark::DoNotOptimize(s.getBuffer());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_SAnsiStringAppend)->Arg(10)->Arg(1000);

void BM_StdStringAppend(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "0123456789";
    benchmark::DoNotOptimize(s.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_StdStringAppend)->Arg(10)->Arg(1000);

// Two 100-byte texts that differ in their last byte. SAnsiString orders by
// the locale's collation of the characters; std::string by bytes.
void BM_SAnsiStringCompare100(benchmark::State& state) {
  std::string a = text100(), b = text100();
  b.back() = 'z';
  const SAnsiString x(a.c_str()), y(b.c_str());
  for (auto _ : state) benchmark::DoNotOptimize(x < y);
}
BENCHMARK(BM_SAnsiStringCompare100);

void BM_StdStringCompare100(benchmark::State& state) {
  std::string a = text100(), b = text100();
  b.back() = 'z';
  for (auto _ : state) benchmark::DoNotOptimize(a < b);
}
BENCHMARK(BM_StdStringCompare100);

// The same comparison through strcoll, which is what a locale-aware
// std::string ordering would cost.
void BM_StdStringStrcoll100(benchmark::State& state) {
  std::string a = text100(), b = text100();
  b.back() = 'z';
  for (auto _ : state) benchmark::DoNotOptimize(std::strcoll(a.c_str(), b.c_str()));
}
BENCHMARK(BM_StdStringStrcoll100);

void BM_SAnsiStringToWide100(benchmark::State& state) {
  const SAnsiString source(text100().c_str());
  for (auto _ : state) {
    SWCharString wide;
    benchmark::DoNotOptimize(wide.assign(source.getBuffer()));
    benchmark::DoNotOptimize(wide.getBuffer());
  }
}
BENCHMARK(BM_SAnsiStringToWide100);

void BM_StdStringToWide100(benchmark::State& state) {
  const std::string source = text100();
  for (auto _ : state) {
    size_t n = std::mbstowcs(nullptr, source.c_str(), 0);
    std::wstring wide(n, L'\0');
    std::mbstowcs(&wide[0], source.c_str(), n + 1);
    benchmark::DoNotOptimize(wide.data());
  }
}
BENCHMARK(BM_StdStringToWide100);

}  // namespace
