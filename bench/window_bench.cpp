// Times "Make &HTML" pressed in the real window against the engine writing the same page alone:
// following the file selection on screen must add little to a folder of many files.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QTreeView>

#include <filesystem>  // std::filesystem::path

#include "bench/bench_folder.h"
#include "index/folder_navigator.h"
#include "platform/default_handler.h"
#include "platform/system_services.h"
#include "platform/volumes.h"
#include "window/folder_tree_model.h"
#include "window/frm_quorvane.h"

namespace {

void BM_MakeHtmlInTheWindow(benchmark::State& state) {
  const std::string& folder = quorvane::bench::FolderOf(static_cast<int>(state.range(0)));
  const quorvane::platform::SystemServices system;
  const std::string volume = std::filesystem::path(folder).parent_path().native();
  const quorvane::platform::SystemDefaultHandler opener;
  quorvane::frmQuorvane window(system.Get(), opener, {{volume, "bench", "bench", ""}},
                               quorvane::StartFolders{volume, ""});
  window.show();

  auto* Dir1 = window.findChild<QTreeView*>(QStringLiteral("Dir1"));
  auto* folders = qobject_cast<quorvane::FolderTreeModel*>(Dir1->model());
  Dir1->setCurrentIndex(folders->Find(folder));
  auto* cmdMake = window.findChild<QPushButton*>(QStringLiteral("cmdMake"));
  if (folders->Path(Dir1->currentIndex()) != folder || !cmdMake->isEnabled()) {
    state.SkipWithError("the window did not go to the folder");
    return;
  }
  for (auto _ : state) {
    cmdMake->click();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MakeHtmlInTheWindow)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
