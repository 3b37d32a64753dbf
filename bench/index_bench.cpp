// Times listing a folder of many files and writing its index page, on the real file system.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_folder.h"
#include "bench/process_regional.h"
#include "index/folder_listing.h"
#include "index/index_page_writer.h"
#include "platform/system_services.h"

namespace {

using quorvane::bench::FolderOf;

struct Engine {
  quorvane::platform::SystemServices system{quorvane::bench::ProcessRegional()};
  const quorvane::platform::Services& services = system.Get();
  quorvane::FileList list{services.regional, services.files};
};

void BM_RefreshFolderView(benchmark::State& state) {
  const std::string& folder = FolderOf(static_cast<int>(state.range(0)));
  Engine engine;
  for (auto _ : state) {
    const auto view = quorvane::RefreshFolderView(folder, engine.list);
    benchmark::DoNotOptimize(view);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RefreshFolderView)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

void BM_MakeIndexPage(benchmark::State& state) {
  const std::string& folder = FolderOf(static_cast<int>(state.range(0)));
  Engine engine;
  const std::string CurPath = quorvane::RefreshFolderView(folder, engine.list).CurPath;
  for (auto _ : state) {
    const auto outcome = quorvane::MakeIndexPage(true, CurPath, engine.list, engine.services);
    if (!outcome.OutPath) {
      state.SkipWithError(quorvane::platform::Describe(outcome.OutPath.Error()).c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MakeIndexPage)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
