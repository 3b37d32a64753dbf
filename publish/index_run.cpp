#include "publish/index_run.h"

#include <atomic>   // std::atomic
#include <cerrno>   // EISDIR
#include <memory>   // std::shared_ptr
#include <utility>  // std::move
#include <vector>   // std::vector

#include "index/index_page_writer.h"
#include "platform/failure.h"
#include "platform/folder_arguments.h"
#include "publish/page_maker.h"
#include "publish/page_removal.h"
#include "publish/page_run.h"
#include "publish/page_writers.h"
#include "publish/tree_walk.h"

namespace quorvane::tool {
namespace {

using platform::Failure;
using platform::Step;

class Runner {
 public:
  Runner(const ToolOptions& options, const platform::Services& services, Console& console)
      : options_(options),
        services_(services),
        console_(console),
        maker_(options, services, console, [this](const Failure& failure) { Fail(failure); }),
        rules_(RulesOf(options)) {}

  // Running out of memory ends the one folder, and the others are still done.
  void Index(const std::string& folder) {
    if (const platform::Result<> indexed = platform::CatchOutOfMemory([&] { return Run(folder); });
        !indexed) {
      Fail(indexed.Error());
    }
  }

  bool Failed() const { return failed_; }

  // Names in one line the patterns that left nothing out, where the run listed any folder.
  void WarnOfUnmatched() {
    if (!options_.clean || options_.recursive) {
      tool::WarnOfUnmatched(rules_, console_);
    }
  }

 private:
  platform::Result<> Run(const std::string& folder) {
    QUORVANE_TRY_ASSIGN(const std::shared_ptr<const platform::Folder> top,
                        OpenNamed(services_.files, folder));
    if (options_.clean) {
      Clean(top);
    } else if (options_.recursive) {
      PublishTree(top);
    } else {
      return PublishOne(top);
    }
    return {};
  }

  platform::Result<> PublishOne(const std::shared_ptr<const platform::Folder>& folder) {
    const double t0 = services_.clock.MonotonicSeconds();
    NameRules rules = rules_;
    if (options_.output && *options_.output != "-") {
      QUORVANE_TRY(OpenOutput());
      // The page is no entry of its own, under whatever name it has.
      if (maker_.OutputFolder()->Identity() == folder->Identity()) {
        rules.also_left_out = maker_.OutputName();
      }
    }
    QUORVANE_TRY_ASSIGN(Listing listing, ListFolder(folder, rules, services_.regional, false));
    FolderLinks links;
    if (options_.subfolders) {
      QUORVANE_TRY(LinkExistingPages(*folder, rules, links));
    }
    QUORVANE_TRY(maker_.Make(listing, links, {true}, t0));
    return {};
  }

  // Without a walk, only the pages there are to link to, and up only to a page of ours.
  platform::Result<> LinkExistingPages(const platform::Folder& folder, const NameRules& rules,
                                       FolderLinks& links) const {
    const platform::Result<std::unique_ptr<platform::Folder>> parent = folder.OpenParent();
    links.up = parent && (*parent)->Identity() != folder.Identity() && HoldsOurPage(**parent);
    QUORVANE_TRY_ASSIGN(std::vector<std::string> subfolders,
                        SubFoldersOf(folder, rules, services_.regional));
    for (std::string& name : subfolders) {
      if (folder.HasFile(name + "/" + IndexFileName)) {
        links.down.push_back(std::move(name));
      }
    }
    return {};
  }

  // Each folder's page once its sub-folders' are made or have failed, so that it links only to
  // those there are: see TreePages.
  void PublishTree(const std::shared_ptr<const platform::Folder>& top) {
    PageRun(maker_, services_, console_, rules_, [this](const Failure& failure) {
      Fail(failure);
    }).Walk(top, top);
  }

  void Clean(const std::shared_ptr<const platform::Folder>& top) {
    const auto remove = [this](const platform::Folder& folder) {
      if (!options_.dry_run) {
        folder.RemoveLeftovers();
      }
      const platform::Result<bool> removed = RemoveOurPage(folder, options_.dry_run);
      if (!removed) {
        Fail(removed.Error());
      } else if (*removed) {
        console_.PagePath(folder.Path() + IndexFileName);
      }
    };
    if (!options_.recursive) {
      remove(*top);
      return;
    }
    TreeWalk(rules_, services_.regional, DescriptorBudget().open_folders)
        .Walk(
            top, [&](Listing& listing) { remove(*listing.folder); },
            [this](const Failure& failure) { Fail(failure); });
  }

  // Opens the folder of the file --output names.
  platform::Result<> OpenOutput() {
    const std::string& file = *options_.output;
    // Windows takes either separator.
    const std::size_t slash = file.find_last_of(kPathSeparator == '/' ? "/" : "/\\");
    std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    if (name.empty() || name == "." || name == "..") {
      return Failure(Step::kWritePage, file, EISDIR);
    }
    QUORVANE_TRY_ASSIGN(std::unique_ptr<platform::Folder> opened,
                        OpenNamed(services_.files, folder));
    maker_.OutputTo(std::move(opened), std::move(name));
    return {};
  }

  void Fail(const Failure& failure) {
    failed_ = true;
    console_.Report(failure);
  }

  const ToolOptions& options_;
  const platform::Services& services_;
  Console& console_;
  PageMaker maker_;
  NameRules rules_;
  std::atomic<bool> failed_{false};
};

}  // namespace

NameRules RulesOf(const ToolOptions& options) {
  NameRules rules;
  rules.all = options.all;
  if (!options.excludes.empty()) {
    rules.excludes = std::make_shared<const Exclusions>(options.excludes);
  }
  return rules;
}

void WarnOfUnmatched(const NameRules& rules, Console& console) {
  if (rules.excludes == nullptr) {
    return;
  }
  std::string named;
  for (const std::string& pattern : rules.excludes->Unmatched()) {
    named += (named.empty() ? "-x '" : " or -x '") + pattern + "'";
  }
  if (!named.empty()) {
    console.Report(Failure(Step::kExcludedNothing, named));
  }
}

platform::Result<std::unique_ptr<platform::Folder>> OpenNamed(const platform::FileSystem& files,
                                                              const std::string& folder) {
  QUORVANE_TRY_ASSIGN(std::string path, platform::AbsoluteFolder(folder));
  if (path.back() != kPathSeparator) {
    path += kPathSeparator;
  }
  return files.OpenFolder(path);
}

int IndexFolders(const ToolOptions& options, const platform::Services& services, Console& console) {
  console.ShowProgress(services.executor);
  Runner runner(options, services, console);
  if (options.folders.empty()) {
    runner.Index(".");
  }
  for (const std::string& folder : options.folders) {
    runner.Index(folder);
  }
  runner.WarnOfUnmatched();
  return runner.Failed() ? 1 : 0;
}

}  // namespace quorvane::tool
