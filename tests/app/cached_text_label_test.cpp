// The cached label must show exactly what a plain QLabel with the same settings shows, whichever
// way it paints a text: drawn, or put together from kept strips.
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "app/cached_text_label.h"

namespace velbrook {
namespace {

struct LabelSetup {
  const char* name;
  QSize size;
  int fontPixels;  // 0 for the application's font
  bool wraps;
};

const LabelSetup kSetups[] = {
    {"progress", QSize(216, 16), 0, false},
    {"status", QSize(216, 32), 12, true},
    {"large one-line", QSize(120, 24), 16, false},
};

// Progress texts whose digits change in place and in count, then texts of other shapes.
const char* const kTexts[] = {
    "已下载：10240  总大小536870912",
    "已下载：20480  总大小536870912",
    "已下载：99999  总大小536870912",
    "已下载：100000  总大小536870912",
    "已下载：536870912  总大小536870912",
    "已下载：7  总大小0",
    "已下载：-1  总大小-2147483648",
    "已下载：1234567890123456789012345678901234567890  总大小1",
    "正在处理【A & B 🎵 - 第1首】",
    "正在处理【周杰伦 - 一首很长很长的歌名，长得在一行里放不下，还要再折一行或更多行才放得下】",
    "处理完毕 共有10条记录",
    "مرحبا 123 עולם 45",
    "进度",
    "",
    "1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1",
};

class CachedTextLabelTest : public ::testing::Test {
 protected:
  void Build(const LabelSetup& setup) {
    window = std::make_unique<QWidget>();
    window->resize(setup.size.width() + 20, 2 * setup.size.height() + 30);
    plain = new QLabel(QStringLiteral("进度"), window.get());
    cached = new CachedTextLabel(QStringLiteral("进度"), window.get());
    plain->setGeometry(QRect(QPoint(10, 10), setup.size));
    cached->setGeometry(QRect(QPoint(10, 20 + setup.size.height()), setup.size));
    for (QLabel* label : {plain, static_cast<QLabel*>(cached)}) {
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(setup.wraps);
      label->setAlignment(setup.wraps ? Qt::AlignLeft | Qt::AlignTop : Qt::AlignLeft | Qt::AlignVCenter);
      if (setup.fontPixels != 0) {
        QFont font = QApplication::font();
        font.setPixelSize(setup.fontPixels);
        label->setFont(font);
      }
    }
    window->show();
  }

  void ShowBoth(const QString& text) {
    plain->setText(text);
    cached->setText(text);
  }

  // The two labels' pixels, as the window paints them.
  void ExpectSamePixels() {
    const QImage shot = window->grab().toImage();
    const QImage ofPlain = shot.copy(plain->geometry());
    const QImage ofCached = shot.copy(cached->geometry());
    ASSERT_FALSE(ofPlain.isNull());
    EXPECT_TRUE(ofPlain == ofCached) << "the cached label paints other pixels";
  }

  std::unique_ptr<QWidget> window;
  QLabel* plain = nullptr;
  CachedTextLabel* cached = nullptr;
};

TEST_F(CachedTextLabelTest, PaintsWhatAPlainLabelPaints) {
  for (const LabelSetup& setup : kSetups) {
    SCOPED_TRACE(setup.name);
    Build(setup);
    // Twice over, so that the second round paints every text from what the first one kept.
    for (int round = 0; round < 2; ++round) {
      for (const char* text : kTexts) {
        SCOPED_TRACE(text);
        ShowBoth(QString::fromUtf8(text));
        ExpectSamePixels();
      }
    }
  }
}

TEST_F(CachedTextLabelTest, ForgetsKeptPicturesWhenItsLookChanges) {
  Build(kSetups[0]);
  const QString progress = QString::fromUtf8("已下载：10240  总大小65536");
  ShowBoth(progress);
  ExpectSamePixels();

  QFont larger = QApplication::font();
  larger.setPixelSize(14);
  plain->setFont(larger);
  cached->setFont(larger);
  ShowBoth(QString::fromUtf8("已下载：20480  总大小65536"));
  ExpectSamePixels();

  QPalette palette = window->palette();
  palette.setColor(QPalette::Window, Qt::darkBlue);
  palette.setColor(QPalette::WindowText, Qt::yellow);
  window->setPalette(palette);
  ShowBoth(QString::fromUtf8("已下载：30720  总大小65536"));
  ExpectSamePixels();

  plain->setEnabled(false);
  cached->setEnabled(false);
  ShowBoth(QString::fromUtf8("已下载：40960  总大小65536"));
  ExpectSamePixels();

  cached->resize(100, 16);
  plain->resize(100, 16);
  ShowBoth(QString::fromUtf8("已下载：51200  总大小65536"));
  ExpectSamePixels();
}

TEST_F(CachedTextLabelTest, SettingsItDoesNotDrawItselfArePaintedByTheLabel) {
  Build(kSetups[0]);
  plain->setFrameShape(QFrame::Box);
  cached->setFrameShape(QFrame::Box);
  ShowBoth(QString::fromUtf8("已下载：10240  总大小65536"));
  ExpectSamePixels();
  plain->setTextFormat(Qt::RichText);
  cached->setTextFormat(Qt::RichText);
  ShowBoth(QStringLiteral("<b>10240</b> &amp; 65536"));
  ExpectSamePixels();
}

}  // namespace
}  // namespace velbrook
