#pragma once

#include <memory>       // std::unique_ptr
#include <string_view>  // std::string_view

#include "platform/file_system.h"

namespace quorvane::platform {

class SystemCalls;

// The file system as the system shows it, every call made through `calls`.
class SystemFileSystem final : public FileSystem {
 public:
  // `calls` must outlive this and every folder opened through it.
  explicit SystemFileSystem(const SystemCalls& calls);
  SystemFileSystem();

  Result<std::unique_ptr<Folder>> OpenFolder(std::string_view path) const override;

 private:
  const SystemCalls& calls_;
};

}  // namespace quorvane::platform
