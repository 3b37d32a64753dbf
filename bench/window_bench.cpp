// Times choosing a folder of many files in the real window: it is read beside the window and
// shown once read. "Make HTML" is timed against the tool by bench/window_make.cpp.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListView>
#include <QTreeView>

#include <filesystem>  // std::filesystem::path

#include "bench/bench_folder.h"
#include "bench/process_regional.h"
#include "platform/default_handler.h"
#include "platform/system_services.h"
#include "platform/volumes.h"
#include "window/model/folder_navigator.h"
#include "window/qt/folder_tree_model.h"
#include "window/qt/frm_quorvane.h"

namespace {

// The window on the volume that holds the folder of `count` files, started on the folder above.
struct Window {
  explicit Window(int count)
      : folder(quorvane::bench::FolderOf(count)),
        above(std::filesystem::path(folder).parent_path().native()),
        form(system.Get(), opener, {{above, "bench", "bench", ""}},
             quorvane::StartFolders{above, ""}) {
    form.show();
    Dir1 = form.findChild<QTreeView*>(QStringLiteral("Dir1"));
    File1 = form.findChild<QListView*>(QStringLiteral("File1"));
    folders = qobject_cast<quorvane::FolderTreeModel*>(Dir1->model());
    Settle();
  }

  // Chooses `path` in Dir1 and waits until the window has shown it.
  bool Choose(const std::string& path) {
    Dir1->setCurrentIndex(folders->Find(path));
    Settle();
    File1->repaint();
    return folders->Path(Dir1->currentIndex()) == path;
  }

  void Settle() {
    while (form.Working()) {
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
  }

  const std::string& folder;
  const std::string above;
  const quorvane::platform::SystemServices system{quorvane::bench::ProcessRegional()};
  const quorvane::platform::SystemDefaultHandler opener;
  quorvane::frmQuorvane form;
  QTreeView* Dir1 = nullptr;
  QListView* File1 = nullptr;
  quorvane::FolderTreeModel* folders = nullptr;
};

// Choosing a folder of many files: reading it, sorting it and showing it in File1.
void BM_ChooseFolderInTheWindow(benchmark::State& state) {
  Window window(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    window.Choose(window.above);
    state.ResumeTiming();
    if (!window.Choose(window.folder)) {
      state.SkipWithError("the window did not go to the folder");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ChooseFolderInTheWindow)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
