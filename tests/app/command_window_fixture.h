#pragma once

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/program_settings.h"
#include "app/program_state.h"
#include "base/code_page.h"
#include "tests/app/fixture_services.h"
#include "tests/app/recording_dialogs.h"

namespace velbrook::test {

inline std::string Utf8(const Text& text) { return TextToUtf8(text); }

// The real main window, shown offscreen, whose hosts are the fixture services, with a fresh folder
// for the downloads. Tests click its buttons.
class CommandWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(services.Started());
    ASSERT_TRUE(scratch.isValid());
    ASSERT_TRUE(QDir(scratch.path()).mkdir(QStringLiteral("下载")));
    dialogs.folderToChoose = FolderText();
    OpenWindow(services.PlaylistHost(), services.ResolverHost());
  }

  void OpenWindow(const std::string& playlistHost, const std::string& resolverHost) {
    window.reset();
    window = std::make_unique<MainWindow>(state, ProgramSettings{playlistHost, resolverHost, "example.test"},
                                          dialogs);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  template <typename T>
  T* Find(const char* name) const {
    return window->findChild<T*>(QString::fromUtf8(name));
  }

  void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }

  // Puts the identifier into 编辑框1 and clicks 按钮1.
  void Fetch(const std::string& playlistId) {
    window->SetCaption(Control::编辑框1, playlistId);
    Click("按钮1");
  }
  void Start() { Click("按钮2"); }

  std::string Shown(Control control) const { return Utf8(window->Caption(control)); }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < window->ListCount(); ++i) lines.push_back(Utf8(window->ListItemText(i)));
    return lines;
  }
  std::vector<std::int64_t> Values() const {
    std::vector<std::int64_t> values;
    for (int i = 0; i < window->ListCount(); ++i) values.push_back(window->ListItemValue(i));
    return values;
  }

  // The download folder: a folder of its own inside the scratch folder, so that a file written
  // beside it shows.
  QString FolderPath() const { return scratch.filePath(QStringLiteral("下载")); }
  Text FolderText() const { return Utf8ToText(FolderPath().toStdString()); }
  QString SongPath(const char* utf8Name) const { return FolderPath() + "/" + QString::fromUtf8(utf8Name); }

  // The names in the download folder and in the scratch folder around it.
  QStringList FolderEntries() const {
    return QDir(FolderPath())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  }
  QStringList ScratchEntries() const {
    return QDir(scratch.path())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    for (const Text& message : dialogs.messages) messages.push_back(Utf8(message));
    return messages;
  }

  FixtureServices services;
  QTemporaryDir scratch;
  ProgramState state;
  RecordingDialogs dialogs;
  std::unique_ptr<MainWindow> window;
};

}  // namespace velbrook::test
