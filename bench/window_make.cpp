// "Make HTML" pressed in the real window (on Qt's offscreen platform) against quorvane-index
// making the same page of the same folder, the two taking turns run by run so that both meet
// the same machine. While the window makes the page it is asked to repaint every 20 ms; the
// longest time it went without a paint is how long a user would have seen it stuck.
//
// Usage: window_make QUORVANE_INDEX FOLDER [RUNS]
// Prints one JSON object: the median seconds of each, their ratio, the window's paints per
// second while it made the page and its longest time without one, in milliseconds.

#include <fcntl.h>     // O_WRONLY
#include <spawn.h>     // posix_spawn
#include <sys/wait.h>  // waitpid
#include <unistd.h>    // environ

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>   // std::max, std::sort
#include <cstdio>      // std::printf, std::fprintf
#include <cstdlib>     // std::atoi
#include <filesystem>  // std::filesystem::path
#include <fstream>     // std::ifstream
#include <iterator>    // std::istreambuf_iterator
#include <string>      // std::string
#include <vector>      // std::vector

#include "bench/process_regional.h"
#include "platform/default_handler.h"
#include "platform/system_services.h"
#include "platform/volumes.h"
#include "window/model/folder_navigator.h"
#include "window/qt/frm_quorvane.h"

namespace {

// Notes when a widget paints.
class PaintWatch final : public QObject {
 public:
  explicit PaintWatch(QWidget& widget) { widget.installEventFilter(this); }

  // Starts watching; what was painted before is forgotten.
  void Start() {
    clock_.start();
    last_ = 0;
    longest_ = 0;
    paints_ = 0;
  }
  // Stops watching: the time since the last paint counts too.
  void Stop() { Painted(); }

  qint64 Longest() const { return longest_; }
  int Paints() const { return paints_ - 1; }

 private:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint && clock_.isValid()) {
      Painted();
    }
    return false;
  }
  void Painted() {
    const qint64 now = clock_.elapsed();
    longest_ = std::max(longest_, now - last_);
    last_ = now;
    ++paints_;
  }

  QElapsedTimer clock_;
  qint64 last_ = 0;
  qint64 longest_ = 0;
  int paints_ = 0;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Seconds the tool took to make the page of `folder`; negative when it failed.
double RunTool(const std::string& tool, const std::string& folder) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::string images = "--images";
  std::string path = folder;
  std::string program = tool;
  char* argv[] = {program.data(), images.data(), path.data(), nullptr};
  QElapsedTimer clock;
  clock.start();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return -1;
  }
  return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

bool PageComplete(const std::string& folder) {
  std::ifstream page(folder + "/quorvane_index.html", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
  return text.size() > 9 && text.compare(text.size() - 9, 9, "</html>\r\n") == 0;
}

// The window on the volume above `folder`, started on it.
class Window {
 public:
  explicit Window(const std::string& folder)
      : folder_(folder),
        above_(std::filesystem::path(folder).parent_path().native()),
        form_(system_.Get(), opener_, {{above_, "bench", "bench", ""}},
              quorvane::StartFolders{above_, folder}),
        watch_(form_) {
    form_.show();
    Settle();
    form_.findChild<QCheckBox*>(QStringLiteral("chkImg"))->setChecked(true);
    make_ = form_.findChild<QPushButton*>(QStringLiteral("cmdMake"));
    repaint_.setInterval(20);
    QObject::connect(&repaint_, &QTimer::timeout, &form_, [this] { form_.update(); });
  }

  // Seconds from the press of Make HTML to the page made; negative when it was not.
  double Make() {
    QElapsedTimer clock;
    clock.start();
    watch_.Start();
    repaint_.start();
    make_->click();
    Settle();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    repaint_.stop();
    watch_.Stop();
    longest_ = std::max(longest_, watch_.Longest());
    paints_per_second_.push_back(watch_.Paints() / seconds);
    return PageComplete(folder_) ? seconds : -1;
  }

  qint64 Longest() const { return longest_; }
  double PaintsPerSecond() const { return Median(paints_per_second_); }

 private:
  void Settle() {
    while (form_.Working()) {
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
  }

  const std::string folder_;
  const std::string above_;
  const quorvane::platform::SystemServices system_{quorvane::bench::ProcessRegional()};
  const quorvane::platform::SystemDefaultHandler opener_;
  quorvane::frmQuorvane form_;
  PaintWatch watch_;
  QTimer repaint_;
  QPushButton* make_ = nullptr;
  qint64 longest_ = 0;
  std::vector<double> paints_per_second_;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);  // also sets the process locale from the environment
  if (argc < 3) {
    std::fprintf(stderr, "usage: window_make QUORVANE_INDEX FOLDER [RUNS]\n");
    return 2;
  }
  const std::string tool = argv[1];
  const std::string folder = std::filesystem::absolute(argv[2]).lexically_normal().native();
  const int runs = argc > 3 ? std::max(std::atoi(argv[3]), 1) : 5;

  Window window(folder);
  // One of each first, to warm the caches alike.
  if (RunTool(tool, folder) < 0 || window.Make() < 0) {
    std::fprintf(stderr, "window_make: the page of %s was not made\n", folder.c_str());
    return 1;
  }
  std::vector<double> tool_seconds;
  std::vector<double> window_seconds;
  for (int run = 0; run < runs; ++run) {
    // Each goes first in every other run, so that neither always meets the other's leftovers.
    const double first = run % 2 == 0 ? RunTool(tool, folder) : window.Make();
    const double second = run % 2 == 0 ? window.Make() : RunTool(tool, folder);
    if (first < 0 || second < 0) {
      std::fprintf(stderr, "window_make: the page of %s was not made\n", folder.c_str());
      return 1;
    }
    tool_seconds.push_back(run % 2 == 0 ? first : second);
    window_seconds.push_back(run % 2 == 0 ? second : first);
  }
  const double tool_median = Median(tool_seconds);
  const double window_median = Median(window_seconds);
  std::printf(
      "{\"tool\": %.6f, \"window\": %.6f, \"ratio\": %.4f, \"paints_per_second\": %.1f, "
      "\"longest_without_paint_ms\": %lld}\n",
      tool_median, window_median, window_median / tool_median, window.PaintsPerSecond(),
      static_cast<long long>(window.Longest()));
  return 0;
}
