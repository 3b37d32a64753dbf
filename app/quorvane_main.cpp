// quorvane: the window that lists a folder's files and writes their index page.

#include <QApplication>

#include "platform/system_services.h"
#include "platform/volumes.h"
#include "window/frm_quorvane.h"

int main(int argc, char** argv) {
  // QApplication takes Qt's own options (-platform and the like) and sets the process locale,
  // which the regional settings are then read from.
  QApplication application(argc, argv);
  const quorvane::platform::SystemServices services;
  quorvane::frmQuorvane window(services.Get(), quorvane::platform::MountedVolumes());
  window.show();
  return application.exec();
}
