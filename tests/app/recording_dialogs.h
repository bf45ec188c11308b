#pragma once

#include <vector>

#include "app/dialogs.h"

namespace velbrook::test {

// Dialogs that record what they are asked and give a prepared folder, so that tests drive the window
// with no person present.
class RecordingDialogs : public Dialogs {
 public:
  Text folderToChoose;
  std::vector<Text> browseTitles;
  std::vector<Text> messages;

  Text BrowseForFolder(const Text& title) override {
    browseTitles.push_back(title);
    return folderToChoose;
  }
  void ShowMessage(const Text& text) override { messages.push_back(text); }
};

}  // namespace velbrook::test
