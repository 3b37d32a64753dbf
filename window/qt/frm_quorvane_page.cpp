// The window's side of making the page, and of telling what failed.

#include "window/qt/frm_quorvane.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTreeView>

#include <initializer_list>  // std::initializer_list
#include <utility>           // std::exchange, std::move

#include "index/folder_listing.h"
#include "index/index_page_writer.h"
#include "platform/default_handler.h"
#include "platform/failure.h"
#include "window/model/folder_reads.h"
#include "window/model/generation_run.h"
#include "window/qt/display_name.h"
#include "window/qt/file_list_model.h"
#include "window/qt/folder_tree_model.h"

namespace quorvane {

void frmQuorvane::cmdMake_Click() {
  if (generation_->Running()) {
    return;
  }
  if (reads_->Reading() || folder_model_->Revealing()) {
    // Made for the folder the user chose, once it is shown.
    make_when_shown_ = true;
    return;
  }
  MakePage();
}

void frmQuorvane::ShowFailure(const platform::Failure& failure) {
  const bool offer_refresh = failure.step == platform::Step::kFolderChanged;
  // Shown without a loop of its own, so that no other result is handled inside this handler.
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("quorvane"),
                              DisplayName(platform::Describe(failure)),
                              offer_refresh ? QMessageBox::Close : QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::ApplicationModal);
  box->setTextFormat(Qt::PlainText);
  if (offer_refresh) {
    QPushButton* refresh = box->addButton(QStringLiteral("&Refresh List"), QMessageBox::AcceptRole);
    box->setDefaultButton(refresh);
    connect(refresh, &QPushButton::clicked, this, &frmQuorvane::cmdRefresh_Click,
            Qt::QueuedConnection);
  }
  box->show();
}

void frmQuorvane::MakePage() {
  // No control takes input from before the run starts, however quickly the page is made.
  TakeInput(false);
  if (!generation_->Start(chkImg->isChecked(), CurPath)) {
    return TakeInput(true);
  }
  follow_.start();
}

void frmQuorvane::PageEnded(GenerationOutcome outcome) {
  follow_.stop();
  TakeInput(true);
  if (!isVisible()) {
    return;  // closed while the page was finished
  }
  if (const std::optional<platform::Failure> failure =
          AfterRun(std::move(outcome), chkView->isChecked(), opener_, CurFile)) {
    ShowFailure(*failure);
  }
}

void frmQuorvane::TakeInput(bool take) {
  stop_shortcut_->setEnabled(!take);
  if (take) {
    unsetCursor();
    for (const QPointer<QWidget>& control : std::exchange(took_no_input_, {})) {
      if (control) {
        control->setEnabled(true);
      }
    }
    if (focus_before_) {
      focus_before_->setFocus();
    }
    return;
  }
  QWidget* focus = QApplication::focusWidget();
  focus_before_ = isAncestorOf(focus) ? focus : nullptr;
  for (QWidget* control :
       std::initializer_list<QWidget*>{Drive1, Dir1, File1, chkImg, chkView, cmdRefresh, cmdMake}) {
    if (control->isEnabled()) {
      control->setEnabled(false);
      took_no_input_.emplace_back(control);
    }
  }
  setCursor(Qt::BusyCursor);
}

void frmQuorvane::FollowFileSelection() {
  const qint64 position = files_->Selected();
  const QModelIndex current =
      position < 0 ? QModelIndex() : file_model_->index(static_cast<int>(position));
  if (current != File1->currentIndex()) {
    File1->selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
    File1->scrollTo(current);
  }
}

void frmQuorvane::File1_Select(const QModelIndex& current) {
  const qint64 position = current.isValid() ? current.row() : -1;
  if (position != files_->Selected()) {
    files_->Select(position);
  }
}

}  // namespace quorvane
