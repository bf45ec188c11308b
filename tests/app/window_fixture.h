#pragma once

#include <QApplication>
#include <QString>
#include <QTest>

#include <memory>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/program_settings.h"
#include "app/program_state.h"
#include "base/code_page.h"
#include "tests/app/recording_dialogs.h"

namespace velbrook::test {

// GB18030 from the UTF-8 that the test sources are written in.
inline Text Gb(const char* utf8) { return Utf8ToText(utf8); }

inline const ProgramSettings kTestSettings{"127.0.0.1:1", "127.0.0.1:2", "example.test"};

// A real main window, shown offscreen and active, so that focus moves as it does on a desktop.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<MainWindow>(state, kTestSettings, dialogs);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  template <typename T>
  T* Find(const char* name) const {
    return window->findChild<T*>(QString::fromUtf8(name));
  }

  ProgramState state;
  RecordingDialogs dialogs;
  std::unique_ptr<MainWindow> window;
};

}  // namespace velbrook::test
