#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

#include "app/qt_dialogs.h"
#include "base/code_page.h"

namespace velbrook {
namespace {

constexpr int kPollMs = 10;
constexpr int kPollLimit = 500;  // five seconds for a dialog to appear

// Waits (inside the dialog's own loop) for the modal dialog of type T, then lets `act` close it.
template <typename T>
void WhenShown(std::function<void(T*)> act, int attempt = 0) {
  QTimer::singleShot(kPollMs, [act = std::move(act), attempt]() mutable {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      act(dialog);
    } else if (attempt < kPollLimit) {
      WhenShown<T>(std::move(act), attempt + 1);
    } else {
      ADD_FAILURE() << "the dialog did not appear";
    }
  });
}

// Points HOME at a folder of the test's own, with an empty XDG configuration, for as long as it lives.
class ScopedHome {
 public:
  explicit ScopedHome(const QString& home)
      : oldHome_(qgetenv("HOME")), oldConfig_(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toLocal8Bit());
  }
  ~ScopedHome() {
    qputenv("HOME", oldHome_);
    qputenv("XDG_CONFIG_HOME", oldConfig_);
  }

 private:
  QByteArray oldHome_;
  QByteArray oldConfig_;
};

TEST(QtDialogsTest, MessageBoxHasTheTitleTheTextAndOneOkButton) {
  QtDialogs dialogs;
  bool seen = false;
  WhenShown<QMessageBox>([&](QMessageBox* box) {
    seen = true;
    EXPECT_EQ(box->windowTitle(), QStringLiteral("信息："));
    EXPECT_EQ(box->text(), QStringLiteral("下载完成！ <b>&</b>"));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(box->parentWidget(), nullptr);
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButton(box->buttons().first()), QMessageBox::Ok);
    box->buttons().first()->click();
  });
  dialogs.ShowMessage(Utf8ToText("下载完成！ <b>&</b>"));
  EXPECT_TRUE(seen);
}

TEST(QtDialogsTest, FolderBrowserStartsOnTheDesktopOrElseAtHome) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  ScopedHome scoped(home.path());
  EXPECT_EQ(FolderBrowserStartFolder(), QDir::homePath());
  ASSERT_TRUE(QDir(home.path()).mkdir("Desktop"));
  EXPECT_EQ(FolderBrowserStartFolder(), home.path() + "/Desktop");
}

TEST(QtDialogsTest, FolderBrowserGivesTheTypedFolderOrNothingWhenCancelled) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  ScopedHome scoped(home.path());
  const QString target = home.path() + QStringLiteral("/下载");
  ASSERT_TRUE(QDir().mkdir(target));
  QtDialogs dialogs;

  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("选择下载目录"));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(QDir(dialog->directory()).absolutePath(), QDir(home.path()).absolutePath());
    auto* pathField = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (pathField == nullptr || !pathField->isVisible()) {
      ADD_FAILURE() << "no path field to type into";
      dialog->reject();
      return;
    }
    pathField->setText(target);
    QTest::keyClick(pathField, Qt::Key_Return);
  });
  EXPECT_EQ(dialogs.BrowseForFolder(Utf8ToText("选择下载目录")), Utf8ToText(target.toStdString()));

  WhenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
  EXPECT_EQ(dialogs.BrowseForFolder(Utf8ToText("选择下载目录")), "");
}

}  // namespace
}  // namespace velbrook
