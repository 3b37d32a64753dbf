#include "platform/system_services.h"

#include <thread>   // std::thread
#include <utility>  // std::move

namespace quorvane::platform {
namespace {

// Reads in flight on a slow file system (over a network), beside a thread for each core.
constexpr std::size_t kMostWaits = 64;

}  // namespace

SystemServices::SystemServices(Regional regional)
    : regional_(std::move(regional)),
      executor_(std::thread::hardware_concurrency() + kMostWaits),
      services_{clock_, regional_, files_, executor_} {}

}  // namespace quorvane::platform
