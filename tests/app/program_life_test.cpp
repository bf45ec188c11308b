#include <QApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/display_check.h"
#include "app/main_window.h"
#include "app/program_state.h"
#include "app/run_main_window.h"
#include "tests/app/recording_dialogs.h"

namespace velbrook::test {
namespace {

constexpr int kProgramEndMs = 30000;

MainWindow* ShownMainWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* window = dynamic_cast<MainWindow*>(widget); window != nullptr && window->isVisible())
      return window;
  }
  return nullptr;
}

TEST(ProgramLifeTest, GlobalDownloaderOutlivesTheWindowAndIsDestroyedOnce) {
  int destroyed = 0;
  bool windowSeen = false;
  {
    ProgramState state([&destroyed] { ++destroyed; });
    state.SetProcessedCount(9);
    RecordingDialogs dialogs;
    QTimer::singleShot(0, [&] {
      MainWindow* window = ShownMainWindow();
      windowSeen = window != nullptr;
      EXPECT_EQ(state.ProcessedCount(), 0);
      EXPECT_EQ(destroyed, 0);
      if (window != nullptr) {
        window->close();  // the user closes the window without using any command
      } else {
        QApplication::quit();
      }
    });
    EXPECT_EQ(RunMainWindow(state, ProgramSettings{"a", "b", "c"}, dialogs), 0);
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_TRUE(windowSeen);
  EXPECT_EQ(destroyed, 1);
}

TEST(ProgramLifeTest, MissingDisplayIsToldApartFromANamedOne) {
  struct Case {
    const char* display;
    const char* wayland;
    const char* platform;
    bool missing;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, true},      {"", "", "", true},
      {":0", nullptr, nullptr, false},        {nullptr, "wayland-0", nullptr, false},
      {nullptr, nullptr, "offscreen", false},
  };
  for (const Case& entry : cases) {
    const auto reason = MissingDisplayReason([&entry](const char* name) -> const char* {
      if (std::string(name) == "DISPLAY") return entry.display;
      if (std::string(name) == "WAYLAND_DISPLAY") return entry.wayland;
      if (std::string(name) == "QT_QPA_PLATFORM") return entry.platform;
      return nullptr;
    });
    EXPECT_EQ(reason.has_value(), entry.missing);
  }
}

struct ProgramRun {
  QProcess::ExitStatus exitStatus;
  int exitCode;
  QString errors;
};

ProgramRun RunProgramWith(const QProcessEnvironment& environment) {
  QProcess program;
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(VELBROOK_PROGRAM_PATH), {});
  const bool ended = program.waitForFinished(kProgramEndMs);
  if (!ended) {
    program.kill();
    (void)program.waitForFinished(kProgramEndMs);  // reaps the killed process
    ADD_FAILURE() << "the program did not end by itself";
  }
  return {program.exitStatus(), program.exitCode(), QString::fromLocal8Bit(program.readAllStandardError())};
}

TEST(ProgramLifeTest, WithoutADisplayTheProgramSaysSoAndExitsWithStatusOne) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);

  const ProgramRun unset = RunProgramWith(environment);
  EXPECT_EQ(unset.exitStatus, QProcess::NormalExit);
  EXPECT_EQ(unset.exitCode, 1);
  EXPECT_TRUE(unset.errors.contains(QStringLiteral("no display"))) << unset.errors.toStdString();

  // A display that nobody serves: the window system cannot be reached.
  environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":4093"));
  const ProgramRun unreachable = RunProgramWith(environment);
  EXPECT_EQ(unreachable.exitStatus, QProcess::NormalExit);
  EXPECT_EQ(unreachable.exitCode, 1);
  EXPECT_TRUE(unreachable.errors.contains(QStringLiteral("velbrook: cannot open a window")))
      << unreachable.errors.toStdString();
}

}  // namespace
}  // namespace velbrook::test
