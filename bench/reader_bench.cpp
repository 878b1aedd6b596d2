// Throughput of reading an update-information file: ReadUpdateInfoText over a large
// generated file in memory, the text-mode reader alone, and the decimal conversion.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

#include "base/decimal_to_double.h"
#include "base/text_mode_reader.h"
#include "update/info_file.h"

namespace {

// About `size` bytes of an info file as makers write them, repeated: the keys, lines the
// program ignores (comments, sections, other keys), indented lines, a line longer than a
// piece, CR LF and bare LF line ends. The messages soon reach their length limit, as
// they would in any file this large.
std::string GenerateInfoFile(size_t size) {
  static constexpr std::string_view kBlock =
      "; Update information for Writer, published by the product's maker.\r\n"
      "[Writer]\r\n"
      "VERSION=3.5\r\n"
      "BUILD=14\r\n"
      "MESSAGE1=This release adds faster printing and a new export format.\r\n"
      "  MESSAGE2=The update is free for all users of version 3.\r\n"
      "MESSAGE3=\r\n"
      "DOWNLOAD=https://www.orvanel.example/download/writer.htm\r\n"
      "RELEASED=2024-06-11\n"
      "\r\n"
      "; Changes:\n"
      "; - printing is up to three times faster on shared printers\r\n"
      "; - documents can be exported as plain text, with or without line breaks\r\n";
  std::string file;
  file.reserve(size + 1024);
  const std::string longLine = "NOTES=" + std::string(600, 'x') + "\r\n";
  while (file.size() < size) {
    for (int i = 0; i < 8; ++i) file += kBlock;
    file += longLine;
  }
  return file;
}

const std::string& LargeFile() {
  static const std::string file = GenerateInfoFile(64 << 20);
  return file;
}

void BM_ReadUpdateInfoText(benchmark::State& state) {
  const std::string& file = LargeFile();
  for (auto _ : state) {
    MemoryFile source(file);
    UpdateInfo info;
    ReadUpdateInfoText(source, info);
    benchmark::DoNotOptimize(info);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_ReadUpdateInfoText)->Unit(benchmark::kMillisecond);

// The reader alone: pieces, without interpreting them.
void BM_TextModeReader(benchmark::State& state) {
  const std::string& file = LargeFile();
  for (auto _ : state) {
    MemoryFile source(file);
    TextModeReader reader(source);
    TextPiece piece;
    size_t pieces = 0;
    while (reader.ReadPiece(piece)) ++pieces;
    benchmark::DoNotOptimize(pieces);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_TextModeReader)->Unit(benchmark::kMillisecond);

// The copy out of memory that every read includes: the ceiling for the reader.
void BM_MemoryCopy(benchmark::State& state) {
  const std::string& file = LargeFile();
  static char buffer[64 * 1024];
  for (auto _ : state) {
    MemoryFile source(file);
    bool failed = false;
    while (source.Read(buffer, sizeof buffer, failed) > 0) benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_MemoryCopy)->Unit(benchmark::kMillisecond);

// A typical VERSION value, and one that needs the exact conversion.
void BM_DecimalToDouble(benchmark::State& state, std::string_view text) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(text);
    benchmark::DoNotOptimize(DecimalToDouble(text));
  }
}
void BM_FromChars(benchmark::State& state, std::string_view text) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(text);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK_CAPTURE(BM_DecimalToDouble, typical, "3.5");
BENCHMARK_CAPTURE(BM_FromChars, typical, "3.5");
BENCHMARK_CAPTURE(BM_DecimalToDouble, hard, "2.2250738585072011e-308");
BENCHMARK_CAPTURE(BM_FromChars, hard, "2.2250738585072011e-308");

}  // namespace

BENCHMARK_MAIN();
