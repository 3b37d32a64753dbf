#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <memory>  // std::unique_ptr
#include <string>  // std::string
#include <vector>  // std::vector

#include "index/folder_listing.h"
#include "platform/services.h"
#include "platform/volumes.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListView;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace quorvane {

class FileListModel;
class FolderTreeModel;

// The program's one window: a volume, a folder and its files to choose from, and the button that
// writes the folder's index page.
class frmQuorvane final : public QWidget {
  Q_OBJECT

 public:
  // `services` must outlive the window. `volumes` fill Drive1 (platform::MountedVolumes() for the
  // machine's own); the window starts at the root of the one that holds the working folder.
  frmQuorvane(const platform::Services& services, std::vector<platform::Volume> volumes,
              QWidget* parent = nullptr);
  ~frmQuorvane() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateControls();
  void ConnectControls();
  void FitCaptionFont();
  bool CaptionsFit() const;
  void PlaceControls(QSize client);

  void Form_Load();
  void Drive1_Change(int volume);
  void Dir1_Change();
  void cmdRefresh_Click();
  void cmdMake_Click();

  // Shows Dir1's folder: refreshes the folder view and shows its state. Returns why the folder
  // could not be read, or an empty text.
  std::string ShowFolder();
  // Makes `folder` Dir1's current folder, which raises its change notification.
  void GoToFolder(const std::string& folder);
  // Returns to the last volume and folder shown without failure.
  void GoBack();
  void ShowFailure(const std::string& description);
  void FollowFileSelection();
  void File1_Select(const QModelIndex& current);

  const platform::Services services_;
  std::vector<platform::Volume> volumes_;
  std::vector<std::string> volume_folders_;  // the folder last shown on each volume this run
  FileList files_;
  std::string CurPath;
  std::string CurFile;
  // Members rather than children: the file model must let go of files_ before files_ goes.
  std::unique_ptr<FileListModel> file_model_;
  std::unique_ptr<FolderTreeModel> folder_model_;

  int shown_volume_ = -1;  // none until a folder has been shown without failure
  std::string shown_folder_;
  bool going_back_ = false;

  bool generating_ = false;
  QElapsedTimer file_selection_painted_;

  QPushButton* cmdRefresh = nullptr;
  QCheckBox* chkImg = nullptr;
  QCheckBox* chkView = nullptr;
  QPushButton* cmdMake = nullptr;
  QListView* File1 = nullptr;
  QTreeView* Dir1 = nullptr;
  QComboBox* Drive1 = nullptr;
  QLabel* lblPath = nullptr;
  QLabel* lblFCount = nullptr;
};

}  // namespace quorvane
