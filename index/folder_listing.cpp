#include "index/folder_listing.h"

namespace quorvane {
namespace {

// Passes a listing's names on, and ends the listing once a stop is requested.
class StoppableSink final : public platform::NameSink {
 public:
  StoppableSink(NameList& names, std::stop_token stop, const std::string& folder)
      : names_(names), stop_(std::move(stop)), folder_(folder) {}

  platform::Result<> Add(std::string_view name) override {
    // Asked now and then: a listing of a million names must not pay for a million checks.
    if (++count_ % kNamesBetweenChecks == 0 && stop_.stop_requested()) {
      return platform::Failure(platform::Step::kStopped, folder_);
    }
    return names_.Add(name);
  }

 private:
  static constexpr std::size_t kNamesBetweenChecks = 1024;

  NameList& names_;
  const std::stop_token stop_;
  const std::string& folder_;
  std::size_t count_ = 0;
};

}  // namespace

FileList::FileList(const platform::Services& services)
    : services_(services), names_(std::make_shared<const NameList>()) {}

FileList::FileList(const FileList& other)
    : services_(other.services_),
      folder_(other.folder_),
      identity_(other.identity_),
      names_(other.names_),
      selected_(other.selected_) {}

void FileList::SetFolder(std::string folder) {
  folder_ = std::move(folder);
  identity_.reset();
}

platform::Result<> FileList::ReRead(std::stop_token stop) {
  const platform::Result<std::unique_ptr<platform::Folder>> folder =
      services_.files.OpenFolder(folder_);
  platform::Result<> read = folder ? ReReadFrom(**folder, std::move(stop)) : folder.Error();
  if (!read) {
    identity_.reset();
    Replace(std::make_shared<const NameList>());
  }
  return read;
}

platform::Result<> FileList::ReReadFrom(const platform::Folder& folder, std::stop_token stop) {
  NameList names;
  platform::Result<> read;
  if (stop.stop_possible()) {
    StoppableSink sink(names, std::move(stop), folder.Path());
    read = folder.ReadFileNames(sink);
  } else {
    read = folder.ReadFileNames(names);
  }
  if (!read) {
    return read;
  }
  names.Sort(services_.regional, services_.executor);
  folder_ = folder.Path();
  identity_ = folder.Identity();
  Replace(std::make_shared<const NameList>(std::move(names)));
  return {};
}

void FileList::Adopt(const FileList& read) {
  folder_ = read.folder_;
  identity_ = read.identity_;
  Replace(read.names_);
}

void FileList::Replace(std::shared_ptr<const NameList> names) {
  if (observer_ != nullptr) {
    observer_->ListAboutToChange();
  }
  names_ = std::move(names);
  selected_ = -1;
  if (observer_ != nullptr) {
    observer_->ListChanged();
  }
}

std::string_view FileList::Name(std::int64_t position) const {
  return (*names_)[static_cast<std::size_t>(position)];
}

void FileList::Select(std::int64_t position) {
  selected_ = position >= 0 && position < Count() ? position : -1;
  if (observer_ != nullptr) {
    observer_->SelectionChanged(selected_);
  }
}

std::string_view FileList::CurrentName() const {
  return selected_ < 0 ? std::string_view() : Name(selected_);
}

}  // namespace quorvane
