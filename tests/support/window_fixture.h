#pragma once

// The real window on real temporary folders, and the means to look at it as a user would.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <fcntl.h>  // O_TMPFILE
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>  // std::filesystem::canonical
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/default_handler.h"
#include "platform/file_system.h"
#include "platform/posix/system_calls.h"
#include "platform/regional.h"
#include "platform/services.h"
#include "platform/system_file_system.h"
#include "platform/volumes.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"
#include "window/model/folder_navigator.h"
#include "window/qt/folder_tree_model.h"
#include "window/qt/frm_quorvane.h"

namespace quorvane::testing {

// 21 August 2002, 23:25:18, and a generation that takes no time.
class FixedClock final : public platform::Clock {
 public:
  std::tm LocalNow() const override {
    std::tm now{};
    now.tm_year = 102, now.tm_mon = 7, now.tm_mday = 21;
    now.tm_hour = 23, now.tm_min = 25, now.tm_sec = 18;
    return now;
  }
  double MonotonicSeconds() const override { return 0; }
};

// Notes every page it is asked to open, and opens none, saying so as where no program can.
class RecordingOpener final : public platform::DefaultHandler {
 public:
  platform::Result<> Open(const std::string& path) const override {
    opened.push_back(QString::fromStdString(path));
    return platform::Failure(platform::Step::kOpenPage, path);
  }
  mutable QStringList opened;
};

// The system's calls, but those of a file system without unnamed files: a new page is written
// under a hidden name, which a test can look for.
class NoUnnamedFiles final : public platform::SystemCalls {
 public:
  int OpenAt(int dir, const char* path, int flags, mode_t mode) const override {
    if ((flags & O_TMPFILE) == O_TMPFILE) {
      errno = EOPNOTSUPP;
      return -1;
    }
    return SystemCalls::OpenAt(dir, path, flags, mode);
  }
};

// The machine's file system, served as slowly as a test asks: it counts how often each folder's
// file names are read, and holds reads of file facts, or of one folder's names, until released.
class StandInFileSystem final : public platform::FileSystem {
 public:
  explicit StandInFileSystem(const platform::SystemCalls& calls) : real_(calls) {}

  platform::Result<std::unique_ptr<platform::Folder>> OpenFolder(
      std::string_view path) const override {
    platform::Result<std::unique_ptr<platform::Folder>> real = real_.OpenFolder(path);
    if (!real) {
      return real;
    }
    return std::make_unique<Folder>(*this, std::move(*real));
  }

  // How often the names in the folder at `path` (ending in "/") were asked for, and read.
  int Reads(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    return reads_[path];
  }
  int ReadsDone(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    return reads_done_[path];
  }
  int FactsAsked() const { return facts_asked_; }

  // Holds each read of file facts until Release().
  void HoldFacts() const {
    const std::lock_guard lock(mutex_);
    holding_facts_ = true;
  }
  // Holds each read of the folder `path`'s names and sub-folders until Release().
  void HoldFolder(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    held_folder_ = path;
  }
  void Release() const {
    {
      const std::lock_guard lock(mutex_);
      holding_facts_ = false;
      held_folder_.clear();
    }
    released_.notify_all();
  }
  // Releases what is held and forgets what was counted.
  void Reset() const {
    Release();
    const std::lock_guard lock(mutex_);
    reads_.clear();
    reads_done_.clear();
    facts_asked_ = 0;
  }

 private:
  class Folder final : public platform::Folder {
   public:
    Folder(const StandInFileSystem& files, std::unique_ptr<platform::Folder> real)
        : files_(files), real_(std::move(real)) {}
    const std::string& Path() const override { return real_->Path(); }
    platform::FolderIdentity Identity() const override { return real_->Identity(); }
    platform::Result<> ReadFileNames(platform::NameSink& names) const override {
      files_.Count(files_.reads_, Path());
      files_.Wait([&] { return files_.held_folder_ != Path(); });
      platform::Result<> read = real_->ReadFileNames(names);
      files_.Count(files_.reads_done_, Path());
      return read;
    }
    platform::Result<std::vector<std::string>> SubFolderNames() const override {
      files_.Wait([&] { return files_.held_folder_ != Path(); });
      return real_->SubFolderNames();
    }
    // A folder tree's listing of the sub-folders, which is no reading of the file list.
    platform::Result<> ReadNames(platform::NameSink& files,
                                 platform::NameSink* folders) const override {
      files_.Wait([&] { return files_.held_folder_ != Path(); });
      return real_->ReadNames(files, folders);
    }
    platform::Result<platform::FileFacts> ReadFacts(const char* name) const override {
      ++files_.facts_asked_;
      files_.Wait([&] { return !files_.holding_facts_; });
      return real_->ReadFacts(name);
    }
    platform::Result<std::unique_ptr<platform::Folder>> OpenSubFolder(
        std::string_view name) const override {
      return real_->OpenSubFolder(name);
    }
    platform::Result<std::unique_ptr<platform::PageOutput>> CreatePage(
        std::string_view name) const override {
      return real_->CreatePage(name);
    }

   private:
    const StandInFileSystem& files_;
    std::unique_ptr<platform::Folder> real_;
  };

  void Count(std::map<std::string, int>& counts, const std::string& path) const {
    const std::lock_guard lock(mutex_);
    ++counts[path];
  }
  // Waits until `go`, or at most long enough that a test gone wrong still ends.
  template <typename Go>
  void Wait(Go go) const {
    std::unique_lock lock(mutex_);
    released_.wait_for(lock, std::chrono::seconds(30), go);
  }

  const platform::SystemFileSystem real_;
  mutable std::mutex mutex_;
  mutable std::condition_variable released_;
  mutable std::map<std::string, int> reads_;
  mutable std::map<std::string, int> reads_done_;
  mutable bool holding_facts_ = false;
  mutable std::string held_folder_;
  mutable std::atomic<int> facts_asked_{0};
};

// The temporary folder's path without symlinks, as the working folder reads back.
std::string Canonical(const TempFolder& folder) {
  return std::filesystem::canonical(folder.Path()).native();
}

QString Text(const std::string& bytes) { return QString::fromStdString(bytes); }

// The nine controls, found by name as a test or an accessibility tool finds them.
struct Controls {
  explicit Controls(const frmQuorvane& window)
      : form(window),
        cmdRefresh(Find<QPushButton>(window, "cmdRefresh")),
        chkImg(Find<QCheckBox>(window, "chkImg")),
        chkView(Find<QCheckBox>(window, "chkView")),
        cmdMake(Find<QPushButton>(window, "cmdMake")),
        File1(Find<QListView>(window, "File1")),
        Dir1(Find<QTreeView>(window, "Dir1")),
        Drive1(Find<QComboBox>(window, "Drive1")),
        lblPath(Find<QLabel>(window, "lblPath")),
        lblFCount(Find<QLabel>(window, "lblFCount")) {}

  template <typename Control>
  static Control* Find(const QWidget& window, const char* name) {
    auto* control = window.findChild<Control*>(QString::fromLatin1(name));
    if (control == nullptr) {
      qFatal("no control %s", name);
    }
    return control;
  }

  FolderTreeModel& Folders() const { return *qobject_cast<FolderTreeModel*>(Dir1->model()); }
  std::string Dir1Path() const { return Folders().Path(Dir1->currentIndex()); }
  // Waits until the window shows what the last action changed: folders are read, and pages
  // made, beside it.
  bool Settled() const {
    return QTest::qWaitFor([this] { return !form.Working(); });
  }
  bool ChooseFolder(const std::string& path) const {
    Dir1->setCurrentIndex(Folders().Find(path));
    return Settled();
  }
  QStringList Files() const {
    QStringList names;
    for (int row = 0; row < File1->model()->rowCount(); ++row) {
      names << File1->model()->index(row, 0).data().toString();
    }
    return names;
  }

  const frmQuorvane& form;
  QPushButton* cmdRefresh;
  QCheckBox* chkImg;
  QCheckBox* chkView;
  QPushButton* cmdMake;
  QListView* File1;
  QTreeView* Dir1;
  QComboBox* Drive1;
  QLabel* lblPath;
  QLabel* lblFCount;
};

// Closes the next modal message box as soon as it shows, keeping what it showed: by its button
// `press` where one is given, else as Escape would.
class MessageBoxCatcher : public QObject {
 public:
  explicit MessageBoxCatcher(QString press = {}) : press_(std::move(press)) {
    connect(&timer_, &QTimer::timeout, this, &MessageBoxCatcher::Look);
    timer_.start(10);
  }

  bool caught = false;
  bool modal = false;
  QString title;
  QString text;
  QMessageBox::StandardButtons buttons;
  qsizetype button_count = 0;

 private:
  void Look() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      return;
    }
    timer_.stop();
    caught = true;
    modal = box->isModal();
    title = box->windowTitle();
    text = box->text();
    buttons = box->standardButtons();
    button_count = box->buttons().size();
    for (QAbstractButton* button : box->buttons()) {
      if (!press_.isEmpty() && button->text() == press_) {
        button->click();
        return;
      }
    }
    box->reject();
  }

  const QString press_;
  QTimer timer_;
};

// A window over temporary folders as volumes, with a clock that stands still, a stand-in file
// system and an opener that only notes what it is asked to open.
class WindowFixture {
 public:
  // A window over `volumes`, started with the working folder at `working` and asked to start
  // at `asked` (none when empty), once it shows its first folder.
  std::unique_ptr<frmQuorvane> Open(const std::vector<const TempFolder*>& volumes,
                                    const std::string& working, const std::string& asked = "") {
    std::vector<platform::Volume> mounted;
    for (const TempFolder* volume : volumes) {
      const std::size_t at = mounted.size();
      mounted.push_back(
          {Canonical(*volume), "/dev/test", "ext4", at < labels.size() ? labels[at] : ""});
    }
    auto window = std::make_unique<frmQuorvane>(
        services_, opener_, mounted, StartFolders{std::filesystem::canonical(working), asked});
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) {
      qWarning("the window did not become active");
    }
    if (!QTest::qWaitFor([&] { return !window->Working(); })) {
      qWarning("the window did not show its first folder");
    }
    return window;
  }

  const QStringList& Opened() const { return opener_.opened; }
  const StandInFileSystem& Files() const { return files_; }
  void Clear() {
    opener_.opened.clear();
    labels.clear();
    files_.Reset();
  }

  std::vector<std::string> labels;  // the label of each volume Open() gives, where one is set

 private:
  const FixedClock clock_;
  const platform::Regional regional_ = RegionalOf(UsEnglish());
  const NoUnnamedFiles calls_;
  const StandInFileSystem files_{calls_};
  const platform::Services services_{clock_, regional_, files_, TestExecutor()};
  RecordingOpener opener_;
};

}  // namespace quorvane::testing
