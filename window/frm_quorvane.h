#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <memory>  // std::unique_ptr
#include <string>  // std::string
#include <vector>  // std::vector

#include "window/form_controls.h"
#include "window/form_layout.h"

class QModelIndex;

namespace quorvane {

class FileList;
class FileListModel;
class FolderNavigator;
class FolderTreeModel;
struct GenerationOutcome;
struct Place;
struct StartFolders;

namespace platform {
class DefaultHandler;
struct Services;
struct Volume;
}  // namespace platform

// The program's one window: a volume, a folder and its files to choose from, and the button that
// writes the folder's index page.
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

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ConnectControls();

  void Form_Load(const StartFolders& start);
  void Drive1_Change(int volume);
  void Dir1_Change();
  void cmdRefresh_Click();
  void cmdMake_Click();

  // Refreshes the folder view from Dir1's folder and shows its state. Returns why the folder
  // could not be read, or an empty text.
  std::string ShowFolder();
  // Shows Dir1's folder and, when it cannot be read, reports why and goes where the navigator
  // says.
  void ShowFolderOrFallBack();
  Place CurrentPlace() const;
  // Makes the place's volume Drive1's and its folder Dir1's, which shows the folder.
  void GoTo(const Place& place);
  void GoToFolder(const std::string& folder);
  void FallBack(const Place& failed);
  void ShowFailure(const std::string& description);

  GenerationOutcome MakePage();
  void FollowFileSelection();
  void File1_Select(const QModelIndex& current);

  const platform::Services& services_;
  const platform::DefaultHandler& opener_;
  const FormLayout layout_;
  std::unique_ptr<FolderNavigator> navigator_;
  std::unique_ptr<FileList> files_;
  // Destroyed before files_, which the file model follows.
  std::unique_ptr<FileListModel> file_model_;
  std::unique_ptr<FolderTreeModel> folder_model_;
  std::string CurPath;
  std::string CurFile;

  bool falling_back_ = false;  // a failure there is not reported again, so no report loops
  bool generating_ = false;
  QElapsedTimer file_selection_painted_;
};

}  // namespace quorvane
