#pragma once

#include <QComboBox>

namespace quorvane {

// Drive1: a drop-down that a screen reader names by its accessible name ("Volume") and reads
// the chosen volume as its value, where Qt's own would name it by the volume shown.
class VolumeBox final : public QComboBox {
  Q_OBJECT

 public:
  explicit VolumeBox(QWidget* parent = nullptr);
  ~VolumeBox() override;
};

}  // namespace quorvane
