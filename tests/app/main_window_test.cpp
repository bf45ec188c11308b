#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "tests/app/window_fixture.h"

namespace velbrook::test {
namespace {

constexpr int kApplicationFont = 0;  // the control keeps the application's font

struct ControlLook {
  const char* name;
  const char* kind;  // Qt class name
  QRect geometry;
  const char* text;
  int fontPixels;
};

const ControlLook kFirstShown[] = {
    {"标签1", "QLabel", QRect(16, 16, 56, 24), "歌单ID", 16},
    {"编辑框1", "QLineEdit", QRect(80, 16, 112, 24), "", 16},
    {"按钮1", "QPushButton", QRect(200, 16, 120, 24), "获取歌曲列表", 16},
    {"列表框1", "QListWidget", QRect(16, 48, 304, 248), "", kApplicationFont},
    {"标签2", "QLabel", QRect(16, 304, 216, 32), "歌曲地址", 12},
    {"按钮2", "QPushButton", QRect(232, 304, 88, 24), "开始下载", kApplicationFont},
    {"按钮3", "QPushButton", QRect(232, 328, 88, 24), "停止下载", kApplicationFont},
    {"标签3", "QLabel", QRect(16, 336, 216, 16), "进度", kApplicationFont},
};

QString ShownText(const QWidget* widget) {
  if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) return edit->text();
  if (const auto* button = qobject_cast<const QPushButton*>(widget)) return button->text();
  return {};
}

using MainWindowTest = WindowTest;

TEST_F(MainWindowTest, FirstShownControlsHaveTheirPlaceTextAndFont) {
  const QRect clientArea = window->rect();
  for (const ControlLook& expected : kFirstShown) {
    SCOPED_TRACE(expected.name);
    const QWidget* control = Find<QWidget>(expected.name);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(control->inherits(expected.kind));
    EXPECT_EQ(control->geometry(), expected.geometry);
    EXPECT_TRUE(clientArea.contains(control->geometry())) << "partly outside the client area";
    EXPECT_TRUE(control->isVisible());
    EXPECT_EQ(ShownText(control), QString::fromUtf8(expected.text));
    const QFont font = control->font();
    if (expected.fontPixels == kApplicationFont) {
      EXPECT_EQ(font, QApplication::font());
    } else {
      EXPECT_EQ(font.pixelSize(), expected.fontPixels);
      EXPECT_EQ(font.weight(), QFont::Normal);
      EXPECT_EQ(font.family(), QApplication::font().family());
    }
  }
  EXPECT_EQ(state.ProcessedCount(), 0);
  EXPECT_EQ(window->ListCount(), 0);
}

TEST_F(MainWindowTest, WindowIsFixedTitledAndCentred) {
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Velbrook example.test"));
  EXPECT_EQ(window->size(), QSize(332, 357));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);

  const QRect screen = window->screen()->geometry();
  EXPECT_EQ(window->pos(),
            QPoint(screen.x() + (screen.width() - 338) / 2, screen.y() + (screen.height() - 386) / 2));
}

TEST_F(MainWindowTest, CreatingTheWindowResetsProcessedCount) {
  state.SetProcessedCount(7);
  MainWindow second(state, kTestSettings, dialogs);
  EXPECT_EQ(state.ProcessedCount(), 0);
}

TEST_F(MainWindowTest, LabelsShowPlainTextAndWrapOnlyTheStatus) {
  struct LabelLayout {
    const char* name;
    bool wraps;
    Qt::Alignment alignment;
  };
  const LabelLayout layouts[] = {
      {"标签1", false, Qt::AlignLeft | Qt::AlignVCenter},
      {"标签2", true, Qt::AlignLeft | Qt::AlignTop},
      {"标签3", false, Qt::AlignLeft | Qt::AlignVCenter},
  };
  for (const LabelLayout& expected : layouts) {
    SCOPED_TRACE(expected.name);
    const QLabel* label = Find<QLabel>(expected.name);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->wordWrap(), expected.wraps);
    EXPECT_EQ(label->alignment(), expected.alignment);
  }
}

TEST_F(MainWindowTest, CaptionsCrossAsGb18030AndKeepEveryCharacter) {
  const Control captioned[] = {Control::标签1, Control::按钮1, Control::标签2,
                               Control::按钮2, Control::按钮3, Control::标签3};
  const Text caption = Gb("正在处理【A & B 🎵】");
  for (Control control : captioned) {
    window->SetCaption(control, caption);
    EXPECT_EQ(window->Caption(control), caption);
  }
  EXPECT_EQ(Find<QLabel>("标签2")->text(), QString::fromUtf8("正在处理【A & B 🎵】"));

  window->SetCaption(Control::编辑框1, "123");
  EXPECT_EQ(window->EditText(), "123");
  EXPECT_EQ(window->Caption(Control::编辑框1), "123");

  window->SetCaption(Control::列表框1, "ignored");
  EXPECT_EQ(window->Caption(Control::列表框1), "");
}

// Counts the paint events that a widget receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(MainWindowTest, RepaintNowPaintsBeforeAnyEventIsHandled) {
  struct Repainted {
    const char* name;
    Control control;
  };
  QApplication::processEvents();  // nothing left pending from showing the window
  for (const Repainted& repainted :
       {Repainted{"标签2", Control::标签2}, Repainted{"标签3", Control::标签3}}) {
    SCOPED_TRACE(repainted.name);
    PaintCounter counter;
    QWidget* label = Find<QWidget>(repainted.name);
    label->installEventFilter(&counter);
    window->SetCaption(repainted.control, Gb("已下载：1  总大小2"));
    window->RepaintNow(repainted.control);
    EXPECT_EQ(counter.paints, 1);
    label->removeEventFilter(&counter);
  }
}

TEST_F(MainWindowTest, ListKeepsOrderAndSigned64BitValues) {
  struct Item {
    const char* line;
    std::int64_t value;
  };
  const Item items[] = {
      {"周杰伦 - 晴天", 186016},
      {"A - B", 0},
      {"Z & Y - 😀", std::numeric_limits<std::int64_t>::max()},
      {" - ", std::numeric_limits<std::int64_t>::min()},
      {"a - a", -1},
      {"b - b", 2147483648},
  };
  for (const Item& item : items) window->AddListItem(Gb(item.line), item.value);

  ASSERT_EQ(window->ListCount(), 6);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(window->ListItemText(i), Gb(items[i].line));
    EXPECT_EQ(window->ListItemValue(i), items[i].value);
  }
  for (int outside : {-1, 6, 100}) {
    EXPECT_EQ(window->ListItemText(outside), "");
    EXPECT_EQ(window->ListItemValue(outside), -1);
  }

  const QListWidget* list = Find<QListWidget>("列表框1");
  EXPECT_FALSE(list->isSortingEnabled());
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_NE(list->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

  window->ClearList();
  EXPECT_EQ(window->ListCount(), 0);
  EXPECT_EQ(window->ListItemValue(0), -1);
}

TEST_F(MainWindowTest, DialogsGoThroughTheReplaceableInterface) {
  dialogs.folderToChoose = Gb("/音乐");
  EXPECT_EQ(window->BrowseForFolder(Gb("选择下载目录")), Gb("/音乐"));
  window->ShowMessage(Gb("下载完成！"));
  ASSERT_EQ(dialogs.browseTitles.size(), 1u);
  EXPECT_EQ(dialogs.browseTitles[0], Gb("选择下载目录"));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0], Gb("下载完成！"));
}

}  // namespace
}  // namespace velbrook::test
