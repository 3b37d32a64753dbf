#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>  // std::unique_ptr
#include <string>  // std::string
#include <vector>  // std::vector

#include "window/qt/form_controls.h"
#include "window/qt/form_layout.h"

class QModelIndex;
class QShortcut;

namespace quorvane {

class FileList;
class FileListModel;
class FolderNavigator;
class FolderReads;
class FolderTreeModel;
class GenerationRun;
class WindowWork;
struct FolderReading;
struct GenerationOutcome;
struct Place;
struct StartFolders;

namespace platform {
class DefaultHandler;
struct Failure;
struct Services;
struct Volume;
}  // namespace platform

// The program's one window: a volume, a folder and its files to choose from, and the button that
// writes the folder's index page. Folders are read and pages written beside the window, so that
// it answers all the while; the handlers still run one at a time, on the window's thread.
class frmQuorvane final : public QWidget, private FormControls {
  Q_OBJECT

 public:
  // `services` and `opener` must outlive the window. `volumes` fill Drive1 (the machine's own
  // from platform::MountedVolumes()); the window starts at `start.asked` or, without it, at the
  // root of the volume that holds `start.working`.
  frmQuorvane(const platform::Services& services, const platform::DefaultHandler& opener,
              std::vector<platform::Volume> volumes, const StartFolders& start,
              QWidget* parent = nullptr);
  ~frmQuorvane() override;

  // Whether a folder is being read or a page made: what the window shows is still to change.
  bool Working() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ConnectControls();

  void Form_Load(const StartFolders& start);
  void Drive1_Change(int volume);
  void Dir1_Change();
  void cmdRefresh_Click();
  void cmdMake_Click();

  // Reads the folder of `place` beside the window and shows it once read; a later read takes
  // the place of one still under way. When it cannot be read and `report` is set, says why and
  // goes where the navigator says.
  void ShowFolder(const Place& place, bool report);
  void FolderRead(const Place& place, bool report, FolderReading& reading);
  Place CurrentPlace() const;
  // Makes the place's volume Drive1's and its folder Dir1's, which shows the folder; a folder
  // that cannot be shown there is reported unless `falling_back`.
  void GoTo(const Place& place, bool falling_back = false);
  void Dir1_Revealed(const QModelIndex& target);
  void FallBack(const Place& failed);
  // Says why something failed, in a message box that shows once the handler has returned; for a
  // folder that is no longer the one shown, it offers "Refresh List".
  void ShowFailure(const platform::Failure& failure);

  void MakePage();
  void PageEnded(GenerationOutcome outcome);
  // While a page is made, the controls that would change what it is made of take no input.
  void TakeInput(bool take);
  void FollowFileSelection();
  void File1_Select(const QModelIndex& current);

  const platform::Services& services_;
  const platform::DefaultHandler& opener_;
  const FormLayout layout_;
  // Declared first and so destroyed last: every model and job below works through it, and the
  // window stops and waits for it before any of them goes.
  std::unique_ptr<WindowWork> work_;
  std::unique_ptr<FolderNavigator> navigator_;
  std::unique_ptr<FileList> files_;
  // Destroyed before files_, which the file model follows.
  std::unique_ptr<FileListModel> file_model_;
  std::unique_ptr<FolderTreeModel> folder_model_;
  std::unique_ptr<FolderReads> reads_;
  std::unique_ptr<GenerationRun> generation_;
  QTimer follow_;  // while a page is made, the file list follows it
  QShortcut* stop_shortcut_ = nullptr;
  std::string CurPath;
  std::string CurFile;

  bool landing_falls_back_ = false;  // how the Dir1 change of a GoTo under way is shown
  bool falling_back_ = false;        // a failure there is not reported again, so no report loops
  bool make_when_shown_ = false;     // "Make HTML" pressed while the folder was still on its way
  std::vector<QPointer<QWidget>> took_no_input_;  // the controls TakeInput(false) disabled
  QPointer<QWidget> focus_before_;
};

}  // namespace quorvane
