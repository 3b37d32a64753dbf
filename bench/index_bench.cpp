// Times listing a folder of many files and writing its index page, on the real file system.
// Run: build/bench/bench/quorvane_bench [--benchmark_filter=...]; QUORVANE_BENCH_DIR picks where
// the folder is made (default: $TMPDIR or /tmp).

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "index/folder_listing.h"
#include "index/index_page_writer.h"

namespace {

namespace fs = std::filesystem;

// A folder of `count` files with names of mixed case and pictures among them, made once per size.
const std::string& FolderOf(int count) {
  static std::map<int, std::string> made;
  auto& path = made[count];
  if (!path.empty()) {
    return path;
  }
  const char* base = std::getenv("QUORVANE_BENCH_DIR");
  if (base == nullptr) base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/quorvane-bench-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::exit(1);
  }
  static const char* const kExtensions[] = {".jpg", ".TXT", ".png", ".tar.gz", ".html"};
  for (int i = 0; i < count; ++i) {
    const std::string name = pattern + "/" + (i % 2 == 0 ? "Photo " : "note_") +
                             std::to_string(i * 7919 % count) + kExtensions[i % 5];
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ftruncate(fd, i % 4096 * 1000) != 0) {
      std::perror(name.c_str());
      std::exit(1);
    }
    close(fd);
  }
  std::atexit([] {
    for (const auto& [size, folder] : made) {
      std::error_code ignored;
      fs::remove_all(folder, ignored);
    }
  });
  path = pattern;
  return path;
}

struct Engine {
  quorvane::platform::SystemClock clock;
  quorvane::platform::SystemFileSystem files;
  quorvane::platform::Regional regional = quorvane::platform::Regional::FromProcessLocale();
  quorvane::FileList list{regional, files};
  std::string CurPath;
  std::string CurFile;
};

void BM_RefreshFolderView(benchmark::State& state) {
  const std::string& folder = FolderOf(static_cast<int>(state.range(0)));
  Engine engine;
  for (auto _ : state) {
    const auto view = quorvane::RefreshFolderView(folder, engine.CurPath, engine.list);
    benchmark::DoNotOptimize(view);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RefreshFolderView)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_MakeIndexPage(benchmark::State& state) {
  const std::string& folder = FolderOf(static_cast<int>(state.range(0)));
  Engine engine;
  quorvane::RefreshFolderView(folder, engine.CurPath, engine.list);
  const quorvane::platform::Services services{engine.clock, engine.regional, engine.files};
  for (auto _ : state) {
    const auto outcome =
        quorvane::MakeIndexPage(true, engine.CurPath, engine.CurFile, engine.list, services);
    if (!outcome.Completed) {
      state.SkipWithError(outcome.Description.c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MakeIndexPage)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
