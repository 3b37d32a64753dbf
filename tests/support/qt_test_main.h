#pragma once

#include <QApplication>
#include <QTest>

// A Qt Test main that runs on Qt's offscreen platform unless QT_QPA_PLATFORM names another, so
// that a test binary run by hand needs no display and no variable set.
#define QUORVANE_QTEST_MAIN(TestObject)                   \
  int main(int argc, char** argv) {                       \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) { \
      qputenv("QT_QPA_PLATFORM", "offscreen");            \
    }                                                     \
    QApplication application(argc, argv);                 \
    QTEST_SET_MAIN_SOURCE_PATH                            \
    TestObject test;                                      \
    return QTest::qExec(&test, argc, argv);               \
  }
