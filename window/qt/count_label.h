#pragma once

#include <QLabel>
#include <QString>

#include <cstdint>  // std::int64_t

namespace quorvane {

// lblFCount: shows the bare count, as the design has it, while a screen reader is given the
// count with its unit ("3 files") as the label's text and value.
class CountLabel final : public QLabel {
  Q_OBJECT

 public:
  explicit CountLabel(QWidget* parent = nullptr);
  ~CountLabel() override;

  // Shows `count` in plain decimal.
  void ShowCount(std::int64_t count);
  // "3 files", "1 file": what a screen reader reads.
  const QString& Spoken() const { return spoken_; }

 private:
  QString spoken_;
};

}  // namespace quorvane
