#include <QString>

#include <gtest/gtest.h>

#include "app/qt_text.h"
#include "base/code_page.h"

namespace velbrook {
namespace {

TEST(QtTextTest, ValidTextsMakeTheRoundTripUnchanged) {
  const char* const samples[] = {
      "",        "plain ASCII & more",        "歌曲地址", "已下载：10  总大小20", "Ólafur",
      "🎵 emoji", "𠀀 outside the basic plane"};
  for (const char* utf8 : samples) {
    SCOPED_TRACE(utf8);
    const Text text = Utf8ToText(utf8);
    const QString shown = ToQString(text);
    EXPECT_EQ(shown, QString::fromUtf8(utf8));
    EXPECT_EQ(ToText(shown), text);
  }
}

TEST(QtTextTest, BytesOutsideGb18030ShowAsReplacementCharacters) {
  struct Case {
    Text text;
    QString shown;
  };
  const Case cases[] = {
      {"A\xFF"
       "B",
       QStringLiteral("A\uFFFDB")},
      {Text("\x80") + Utf8ToText("中"), QStringLiteral("\uFFFD中")},
      {Utf8ToText("歌") + "\x81", QStringLiteral("歌\uFFFD")},  // a lead byte cut off at the end
  };
  for (const Case& entry : cases) {
    SCOPED_TRACE(entry.shown.toStdString());
    EXPECT_EQ(ToQString(entry.text), entry.shown);
  }
}

}  // namespace
}  // namespace velbrook
