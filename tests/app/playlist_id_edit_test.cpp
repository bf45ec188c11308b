#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/window_fixture.h"

namespace velbrook::test {
namespace {

enum class Action { kType, kTypeOne, kPaste, kCompose, kSelectAllAndDelete };

struct Step {
  Action action;
  const char* text = "";  // UTF-8
};

struct EditCase {
  const char* name;
  std::vector<Step> steps;
  const char* beforeFocusOut;
  const char* afterFocusOut;
};

const EditCase kEditCases[] = {
    {"letters are ignored", {{Action::kType, "abc"}}, "", ""},
    {"digits around letters stay", {{Action::kType, "1a2b3"}}, "123", "123"},
    {"minus and blanks", {{Action::kType, "- 4 2"}}, "-42", "-42"},
    {"a typed Chinese character is ignored", {{Action::kTypeOne, "一"}, {Action::kType, "7"}}, "7", "7"},
    {"a composed character is ignored", {{Action::kCompose, "五5"}}, "5", "5"},
    {"control keys work", {{Action::kType, "123"}, {Action::kSelectAllAndDelete}}, "", ""},
    {"leading zeros go", {{Action::kType, "0042"}}, "0042", "42"},
    {"zero leaves the box empty", {{Action::kType, "0"}}, "0", ""},
    {"minus zero leaves the box empty", {{Action::kType, "-0"}}, "-0", ""},
    {"digits after a second minus are not read", {{Action::kType, "1-2"}}, "1-2", "1"},
    {"two minus signs read nothing", {{Action::kType, "--5"}}, "--5", ""},
    {"above 32 bits stays", {{Action::kType, "2147483648"}}, "2147483648", "2147483648"},
    {"largest", {{Action::kType, "9223372036854775807"}}, "9223372036854775807", "9223372036854775807"},
    {"above the largest",
     {{Action::kType, "9223372036854775808"}},
     "9223372036854775808",
     "9223372036854775807"},
    {"far above the largest",
     {{Action::kType, "123456789012345678901234"}},
     "123456789012345678901234",
     "9223372036854775807"},
    {"smallest", {{Action::kType, "-9223372036854775808"}}, "-9223372036854775808", "-9223372036854775808"},
    {"below the smallest",
     {{Action::kType, "-9223372036854775809"}},
     "-9223372036854775809",
     "-9223372036854775808"},
    {"pasted letters first", {{Action::kPaste, "abc123"}}, "abc123", ""},
    {"pasted blanks, digits, letters", {{Action::kPaste, " \t12ab"}}, " \t12ab", "12"},
    {"pasted plus sign", {{Action::kPaste, "+7"}}, "+7", "7"},
    {"pasted full-width digits", {{Action::kPaste, "１２"}}, "１２", ""},
    {"pasted after typed digits", {{Action::kType, "9"}, {Action::kPaste, "x1"}}, "9x1", "9"},
};

class PlaylistIdEditTest : public WindowTest {
 protected:
  void Perform(const Step& step) {
    QLineEdit* edit = Find<QLineEdit>("编辑框1");
    const QString text = QString::fromUtf8(step.text);
    switch (step.action) {
      case Action::kType:
        QTest::keyClicks(edit, text);
        break;
      case Action::kTypeOne: {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(edit, &press);
        break;
      }
      case Action::kPaste:
        QApplication::clipboard()->setText(text);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        break;
      case Action::kCompose: {
        QInputMethodEvent compose;
        compose.setCommitString(text);
        QApplication::sendEvent(edit, &compose);
        break;
      }
      case Action::kSelectAllAndDelete:
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Backspace);
        break;
    }
  }
};

TEST_F(PlaylistIdEditTest, FiltersTypingAndNormalisesWhenAButtonTakesTheFocus) {
  QLineEdit* edit = Find<QLineEdit>("编辑框1");
  QPushButton* fetchButton = Find<QPushButton>("按钮1");
  for (const EditCase& entry : kEditCases) {
    SCOPED_TRACE(entry.name);
    edit->clear();
    edit->setFocus();
    ASSERT_TRUE(edit->hasFocus());
    for (const Step& step : entry.steps) Perform(step);
    EXPECT_EQ(edit->text(), QString::fromUtf8(entry.beforeFocusOut));

    const bool wasEdited = edit->isUndoAvailable();
    QTest::mouseClick(fetchButton, Qt::LeftButton);
    ASSERT_FALSE(edit->hasFocus());
    EXPECT_EQ(edit->text(), QString::fromUtf8(entry.afterFocusOut));
    EXPECT_EQ(window->EditText(), Gb(entry.afterFocusOut));
    // A text already in normal form is left alone, edit history included.
    if (std::string(entry.beforeFocusOut) == entry.afterFocusOut) {
      EXPECT_EQ(edit->isUndoAvailable(), wasEdited);
    }
  }
}

TEST_F(PlaylistIdEditTest, AContextMenuDoesNotEndTheEdit) {
  QLineEdit* edit = Find<QLineEdit>("编辑框1");
  edit->setFocus();
  QTest::keyClicks(edit, "0042");
  QFocusEvent toPopup(QEvent::FocusOut, Qt::PopupFocusReason);
  QApplication::sendEvent(edit, &toPopup);
  EXPECT_EQ(edit->text(), QStringLiteral("0042"));

  QFocusEvent toOtherWindow(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(edit, &toOtherWindow);
  EXPECT_EQ(edit->text(), QStringLiteral("42"));
}

}  // namespace
}  // namespace velbrook::test
