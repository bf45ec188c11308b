#pragma once

#include <QWidget>

#include "app/program_settings.h"
#include "app/window_operations.h"

class QLabel;
class QListWidget;
class QPushButton;
class QShowEvent;

namespace velbrook {

class Dialogs;
class PlaylistIdEdit;
class ProgramState;

// The program's only window: the playlist identifier box, the song list, the status and progress
// labels and the three command buttons, at fixed pixel positions in a window that cannot be resized.
class MainWindow : public QWidget, public WindowOperations {
 public:
  // The whole window, frame included, measures this much; the window manager draws the frame, so the
  // client area is what an ordinary frame leaves of it.
  static constexpr int kWidthWithFrame = 338;
  static constexpr int kHeightWithFrame = 386;
  static constexpr int kFrameBorder = 3;
  static constexpr int kCaptionBarHeight = 26;
  static constexpr int kClientWidth = kWidthWithFrame - 2 * kFrameBorder;
  static constexpr int kClientHeight = kHeightWithFrame - kCaptionBarHeight - kFrameBorder;

  // The window keeps references to all three; they outlive it. Creating the window sets
  // ProcessedCount to 0.
  MainWindow(ProgramState& state, const ProgramSettings& settings, Dialogs& dialogs,
             QWidget* parent = nullptr);
  ~MainWindow() override;

  Text EditText() const override;
  Text Caption(Control control) const override;
  void SetCaption(Control control, const Text& caption) override;
  void RepaintNow(Control control) override;
  void ClearList() override;
  void AddListItem(const Text& text, std::int64_t value) override;
  int ListCount() const override;
  Text ListItemText(int index) const override;
  std::int64_t ListItemValue(int index) const override;
  Text BrowseForFolder(const Text& title) override;
  void ShowMessage(const Text& text) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  // 按钮1 runs FetchSongList, 按钮2 RunDownloads and 按钮3 StopDownload.
  void ConnectCommands();
  void CentreOnScreen();
  QWidget* Widget(Control control) const;

  ProgramState& state_;
  ProgramSettings settings_;
  Dialogs& dialogs_;
  bool centred_ = false;

  // Owned by the window through Qt's parent links.
  QLabel* 标签1 = nullptr;
  PlaylistIdEdit* 编辑框1 = nullptr;
  QPushButton* 按钮1 = nullptr;
  QListWidget* 列表框1 = nullptr;
  QLabel* 标签2 = nullptr;
  QPushButton* 按钮2 = nullptr;
  QPushButton* 按钮3 = nullptr;
  QLabel* 标签3 = nullptr;
};

}  // namespace velbrook
