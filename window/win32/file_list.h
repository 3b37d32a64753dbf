#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>  // std::wstring
#include <vector>  // std::vector

namespace quorvane::win32 {

// What the virtual list view File1 shows: it asks for each name it draws, so that a folder of a
// million files costs no more to show than a screenful.
class FileList {
 public:
  explicit FileList(HWND list) : list_(list) {}

  // Shows `names` in their order, with nothing selected.
  void Show(std::vector<std::wstring> names);

  // Answers the list's notifications; false for one it does not ask of its owner.
  bool Answer(NMHDR& notification, LRESULT& result) const;

 private:
  // The name for the list to draw, into its own buffer.
  void GiveName(LVITEMW& item) const;
  // The first entry from `start` on whose name starts as typed, wrapping round; -1 for none.
  int Find(const LVFINDINFOW& find, int start) const;

  HWND list_;
  std::vector<std::wstring> names_;
};

}  // namespace quorvane::win32
