#pragma once

#include <QString>

#include "app/dialogs.h"

namespace velbrook {

// The dialogs that the program shows to its user, built from Qt's own widgets.
class QtDialogs : public Dialogs {
 public:
  Text BrowseForFolder(const Text& title) override;
  void ShowMessage(const Text& text) override;
};

// Where the folder browser starts: the desktop folder, or the home folder when there is none.
QString FolderBrowserStartFolder();

}  // namespace velbrook
