#include "app/qt_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStringList>

#include "app/qt_text.h"

namespace velbrook {

QString FolderBrowserStartFolder() {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!desktop.isEmpty() && QDir(desktop).exists()) return desktop;
  return QDir::homePath();
}

Text QtDialogs::BrowseForFolder(const Text& title) {
  // Qt's own dialog, not the desktop's, because it always offers a path field to type into.
  QFileDialog dialog(nullptr, ToQString(title), FolderBrowserStartFolder());
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  dialog.setWindowModality(Qt::ApplicationModal);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return {};
  return ToText(chosen.first());
}

void QtDialogs::ShowMessage(const Text& text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("信息："), ToQString(text), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  (void)box.exec();  // the only button is OK: there is nothing to tell apart
}

}  // namespace velbrook
