#include "app/main_window.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVariant>

#include "app/cached_text_label.h"
#include "app/dialogs.h"
#include "app/fetch_song_list.h"
#include "app/playlist_id_edit.h"
#include "app/program_state.h"
#include "app/qt_text.h"
#include "app/run_downloads.h"
#include "app/stop_download.h"

namespace velbrook {
namespace {

constexpr int kLargeFontPixels = 16;
constexpr int kSmallFontPixels = 12;
constexpr std::int64_t kNoItemValue = -1;

// The application's family at a character height in pixels, normal weight.
QFont PixelFont(int pixels) {
  QFont font = QApplication::font();
  font.setPixelSize(pixels);
  font.setWeight(QFont::Normal);
  return font;
}

template <typename Label = QLabel>
QLabel* MakeLabel(QWidget* parent, const QString& name, const QRect& geometry, const QString& text,
                  bool wraps) {
  auto* label = new Label(text, parent);
  label->setObjectName(name);
  label->setGeometry(geometry);
  label->setTextFormat(Qt::PlainText);  // an ampersand is an ordinary character
  label->setWordWrap(wraps);
  label->setAlignment(wraps ? Qt::AlignLeft | Qt::AlignTop : Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, const QRect& geometry, const QString& text) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

MainWindow::MainWindow(ProgramState& state, const ProgramSettings& settings, Dialogs& dialogs,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      state_(state),
      settings_(settings),
      dialogs_(dialogs) {
  setObjectName(QStringLiteral("主窗口"));
  setWindowTitle(QStringLiteral("Velbrook ") + ToQString(settings_.titleDomain));
  setFixedSize(kClientWidth, kClientHeight);
  CreateControls();
  ConnectCommands();
  state_.SetProcessedCount(0);
}

MainWindow::~MainWindow() = default;

void MainWindow::CreateControls() {
  标签1 = MakeLabel(this, QStringLiteral("标签1"), QRect(16, 16, 56, 24), QStringLiteral("歌单ID"), false);
  标签1->setFont(PixelFont(kLargeFontPixels));

  编辑框1 = new PlaylistIdEdit(this);
  编辑框1->setObjectName(QStringLiteral("编辑框1"));
  编辑框1->setGeometry(80, 16, 112, 24);
  编辑框1->setFont(PixelFont(kLargeFontPixels));

  按钮1 = MakeButton(this, QStringLiteral("按钮1"), QRect(200, 16, 120, 24), QStringLiteral("获取歌曲列表"));
  按钮1->setFont(PixelFont(kLargeFontPixels));

  列表框1 = new QListWidget(this);
  列表框1->setObjectName(QStringLiteral("列表框1"));
  列表框1->setGeometry(16, 48, 304, 248);
  列表框1->setSortingEnabled(false);
  列表框1->setSelectionMode(QAbstractItemView::SingleSelection);
  列表框1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  列表框1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  列表框1->setUniformItemSizes(true);  // one font for every line: keeps long lists fast

  // The run repaints the status label once per song and the progress label once per chunk.
  标签2 = MakeLabel<CachedTextLabel>(this, QStringLiteral("标签2"), QRect(16, 304, 216, 32),
                                     QStringLiteral("歌曲地址"), true);
  标签2->setFont(PixelFont(kSmallFontPixels));

  按钮2 = MakeButton(this, QStringLiteral("按钮2"), QRect(232, 304, 88, 24), QStringLiteral("开始下载"));
  按钮3 = MakeButton(this, QStringLiteral("按钮3"), QRect(232, 328, 88, 24), QStringLiteral("停止下载"));
  标签3 = MakeLabel<CachedTextLabel>(this, QStringLiteral("标签3"), QRect(16, 336, 216, 16),
                                     QStringLiteral("进度"), false);
}

void MainWindow::ConnectCommands() {
  // Each command runs to its end inside the click handler; the window handles no input meanwhile.
  QObject::connect(按钮1, &QPushButton::clicked, this,
                   [this] { (void)FetchSongList(*this, settings_.playlistHost); });
  QObject::connect(按钮2, &QPushButton::clicked, this,
                   [this] { (void)RunDownloads(*this, state_, settings_.resolverHost); });
  QObject::connect(按钮3, &QPushButton::clicked, this, [this] { StopDownload(state_); });
}

void MainWindow::showEvent(QShowEvent* event) {
  // Placed before the first show maps the window; a window restored from the task bar stays put.
  if (!event->spontaneous() && !centred_) {
    CentreOnScreen();
    centred_ = true;
  }
  QWidget::showEvent(event);
}

void MainWindow::CentreOnScreen() {
  const QScreen* shownOn = screen();
  if (shownOn == nullptr) return;
  const QRect area = shownOn->geometry();
  // A top-level window's position is that of its frame.
  move(area.x() + (area.width() - kWidthWithFrame) / 2, area.y() + (area.height() - kHeightWithFrame) / 2);
}

QWidget* MainWindow::Widget(Control control) const {
  switch (control) {
    case Control::标签1:
      return 标签1;
    case Control::编辑框1:
      return 编辑框1;
    case Control::按钮1:
      return 按钮1;
    case Control::列表框1:
      return 列表框1;
    case Control::标签2:
      return 标签2;
    case Control::按钮2:
      return 按钮2;
    case Control::按钮3:
      return 按钮3;
    case Control::标签3:
      return 标签3;
  }
  return nullptr;
}

Text MainWindow::EditText() const { return ToText(编辑框1->text()); }

Text MainWindow::Caption(Control control) const {
  const QWidget* widget = Widget(control);
  if (const auto* label = qobject_cast<const QLabel*>(widget)) return ToText(label->text());
  if (const auto* button = qobject_cast<const QPushButton*>(widget)) return ToText(button->text());
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) return ToText(edit->text());
  return {};
}

void MainWindow::SetCaption(Control control, const Text& caption) {
  QWidget* widget = Widget(control);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(ToQString(caption));
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setText(ToQString(caption));
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(ToQString(caption));
  }
}

void MainWindow::RepaintNow(Control control) {
  if (QWidget* widget = Widget(control)) widget->repaint();
}

void MainWindow::ClearList() { 列表框1->clear(); }

void MainWindow::AddListItem(const Text& text, std::int64_t value) {
  auto* item = new QListWidgetItem(ToQString(text));
  item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(value));
  列表框1->addItem(item);  // the list takes ownership
}

int MainWindow::ListCount() const { return 列表框1->count(); }

Text MainWindow::ListItemText(int index) const {
  const QListWidgetItem* item = 列表框1->item(index);
  return item != nullptr ? ToText(item->text()) : Text();
}

std::int64_t MainWindow::ListItemValue(int index) const {
  const QListWidgetItem* item = 列表框1->item(index);
  return item != nullptr ? item->data(Qt::UserRole).toLongLong() : kNoItemValue;
}

Text MainWindow::BrowseForFolder(const Text& title) { return dialogs_.BrowseForFolder(title); }

void MainWindow::ShowMessage(const Text& text) { dialogs_.ShowMessage(text); }

}  // namespace velbrook
