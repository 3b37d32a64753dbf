#pragma once

#include <cstdint>      // std::uint64_t
#include <memory>       // std::unique_ptr
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "platform/failure.h"
#include "platform/file_system.h"
#include "platform/temporary_names.h"

namespace quorvane::platform {

// The steps of replacing one page that each system takes its own way. StartReplacing() takes them
// in order, gives the new page its hidden name, holds that name for the clean-up on a signal and
// undoes what a failure leaves; a system only says how each step is done. Failures name the page.
// RemoveNow() removes the hidden name that TakeName() gave.
class ReplaceSteps : public Removable {
 public:
  virtual ~ReplaceSteps() = default;

  // Settles which file the new page replaces and that it may, by the rules of
  // Folder::CreatePage; creates nothing. True where there is an old page, false for a first one.
  virtual Result<bool> CheckOld() = 0;
  // Starts the new page as a file without a name; false where the file system has none.
  virtual Result<bool> CreateUnnamed() = 0;
  // Gives the new page the hidden name `name`: links the unnamed page in, or starts the page under
  // it. False where a file of that name exists.
  virtual Result<bool> TakeName(const std::string& name) = 0;
  // Removes the new page's hidden name, the page not placed.
  virtual void DropName() = 0;
  virtual Result<> Write(std::string_view bytes) = 0;
  // Gives the new page what it keeps of the old one, where there is one.
  virtual Result<> Carry() = 0;
  // Ends the new page; with `wait`, once it is on the disk, else leaving that to SyncVolume().
  virtual Result<> End(bool wait) = 0;
  virtual std::uint64_t Volume() const { return 0; }
  virtual Result<> SyncVolume() { return {}; }
  // Puts the ended page, under its hidden name, in the page's place: over the old page where
  // `over_old`, else only where no file has the page's name. False where a file has taken the
  // name since CheckOld(), which then runs again to check that file as an old page; with `last`,
  // a failure instead.
  virtual Result<bool> PutInPlace(bool over_old, bool last) = 0;
};

// Starts a new page that replaces the old one by `steps`, as PageOutput describes.
Result<std::unique_ptr<PageOutput>> StartReplacing(std::unique_ptr<ReplaceSteps> steps);

}  // namespace quorvane::platform
