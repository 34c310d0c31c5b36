// Load + macro expansion of generated launcher configurations of growing size.
// Reports bytes per second and time per line; both must stay flat as the
// file grows.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

#include "share/native/applauncher/CfgFile.h"

namespace {

const CfgFile::Macros macros = {
    {"$APPDIR", "/Applications/Example.app/Contents/app"},
    {"$BINDIR", "/Applications/Example.app/Contents/MacOS"},
    {"$ROOTDIR", "/Applications/Example.app"},
};

// Lines as a packager writes them: three sections of equal size, each with
// comments, blank lines, unknown names and values with and without macros.
std::string generate(long lines) {
  static const char* const headers[] = {"[Application]", "[VexaOptions]", "[ArgOptions]"};
  static const char* const patterns[][4] = {
      {"app.classpath=$APPDIR/lib/library-", "app.modulepath=$ROOTDIR/Contents/mods/m",
       "; class path entry ", "app.mainclass=com.example.Main"},
      {"vexa-options=-Dexample.option.", "vexa-options=-Xss1m -Dlib=$BINDIR/native/",
       "unknown.option=", ""},
      {"arguments=--verbose-", "arguments=$APPDIR/data/file-", "; argument ", "arguments=x"},
  };
  std::string text;
  const long perSection = lines / 3 + 1;
  long written = 0;
  for (int section = 0; section < 3 && written < lines; ++section) {
    text += headers[section];
    text += '\n';
    ++written;
    for (long i = 1; i < perSection && written < lines; ++i, ++written) {
      const char* pattern = patterns[section][i % 4];
      text += pattern;
      if (*pattern) text += std::to_string(i) + ".zep";
      text += '\n';
    }
  }
  return text;
}

// One generated file per size, removed at exit.
class Files {
 public:
  ~Files() {
    for (const auto& entry : paths) std::remove(entry.second.first.c_str());
  }

  // Path and size in bytes of the file with `lines` lines.
  const std::pair<std::string, std::size_t>& get(long lines) {
    auto found = paths.find(lines);
    if (found != paths.end()) return found->second;
    char name[] = "/tmp/cfgbench.XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    close(fd);
    const std::string text = generate(lines);
    std::ofstream(name, std::ios::binary) << text;
    return paths.emplace(lines, std::make_pair(std::string(name), text.size())).first->second;
  }

 private:
  std::map<long, std::pair<std::string, std::size_t>> paths;
};

Files files;

void LoadAndExpand(benchmark::State& state) {
  const long lines = state.range(0);
  const auto& [path, size] = files.get(lines);
  for (auto _ : state) {
    CfgFile cfg = CfgFile::load(path).expandMacros(macros);
    benchmark::DoNotOptimize(cfg);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
  state.counters["per_line"] =
      benchmark::Counter(static_cast<double>(state.iterations() * lines),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(LoadAndExpand)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
