#pragma once

#include <QLabel>
#include <QString>

namespace quorvane {

// lblFCount: shows the bare count, as the design has it, while a screen reader is given the
// count with its unit ("3 files") as the label's text and value.
class CountLabel final : public QLabel {
  Q_OBJECT

 public:
  explicit CountLabel(QWidget* parent = nullptr);
  ~CountLabel() override;

  // Shows `count`, a number in plain decimal.
  void ShowCount(const QString& count);
  // "3 files", "1 file": what a screen reader reads.
  const QString& Spoken() const { return spoken_; }

 private:
  QString spoken_;
};

}  // namespace quorvane
