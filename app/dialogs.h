#pragma once

#include "base/text.h"

namespace velbrook {

// The two dialogs that the commands open. The window reaches them only through this interface, so
// that tests drive the real window with no person present.
class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A directory chooser with the given title and a path field to type into, starting at the desktop
  // folder. Gives the chosen folder's path, or the empty text when the user cancels.
  virtual Text BrowseForFolder(const Text& title) = 0;

  // A box titled "信息：" with the text and one OK button, without owner and modal for the whole
  // program. Returns when the user has closed it.
  virtual void ShowMessage(const Text& text) = 0;
};

}  // namespace velbrook
