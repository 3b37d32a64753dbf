#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>  // std::int64_t

#include "index/folder_listing.h"

namespace quorvane::win32 {

// File1, the virtual list view, over the window's file list: it asks for each name it draws, so
// a folder of a million files costs no more to show than a screenful, and its selection and the
// list's are one.
class FileListView final : public FileListObserver {
 public:
  // `files` must outlive this; this follows it from now on.
  FileListView(HWND list, FileList& files);
  ~FileListView() override;
  FileListView(const FileListView&) = delete;
  FileListView& operator=(const FileListView&) = delete;

  void ListChanged() override;
  void SelectionChanged(std::int64_t position) override;

  // Answers the list view's notifications; false for one it does not ask of its owner.
  bool Answer(NMHDR& notification, LRESULT& result);

 private:
  // The name for the list view to draw, into its own buffer.
  void GiveName(LVITEMW& item) const;
  // The first entry from `start` on whose name starts as typed, wrapping round; -1 for none.
  int Find(const LVFINDINFOW& find, int start) const;

  HWND list_;
  FileList& files_;
};

}  // namespace quorvane::win32
