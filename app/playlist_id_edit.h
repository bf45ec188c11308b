#pragma once

#include <QLineEdit>

class QFocusEvent;
class QInputMethodEvent;
class QKeyEvent;

namespace velbrook {

// The edit box for a playlist identifier. Typed characters other than 0-9 and '-' are ignored, while
// control keys and the clipboard work as usual; pasted or dropped text passes as it is. When the box
// loses the focus, its text is normalised (NormalisedPlaylistId), so a click on a button reads the
// normalised text.
class PlaylistIdEdit : public QLineEdit {
 public:
  explicit PlaylistIdEdit(QWidget* parent = nullptr);

  // Replaces the text by its normalised form, when that differs.
  void Normalise();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace velbrook
