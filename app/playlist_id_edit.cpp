#include "app/playlist_id_edit.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include "app/playlist_id_text.h"
#include "app/qt_text.h"

namespace velbrook {
namespace {

bool IsAcceptedCharacter(QChar c) { return (c >= u'0' && c <= u'9') || c == u'-'; }

// Whether the text holds a printable character that the box does not take. Control characters
// (those that Ctrl+C, Ctrl+V and the like carry) pass.
bool HoldsRejectedCharacter(const QString& text) {
  for (QChar c : text) {
    if (c.isPrint() && !IsAcceptedCharacter(c)) return true;
  }
  return false;
}

QString AcceptedCharactersOf(const QString& text) {
  QString kept;
  for (QChar c : text) {
    if (IsAcceptedCharacter(c)) kept += c;
  }
  return kept;
}

}  // namespace

PlaylistIdEdit::PlaylistIdEdit(QWidget* parent) : QLineEdit(parent) {
  setInputMethodHints(Qt::ImhPreferNumbers);
}

void PlaylistIdEdit::Normalise() {
  const QString normalised = ToQString(NormalisedPlaylistId(ToText(text())));
  if (normalised != text()) setText(normalised);
}

void PlaylistIdEdit::keyPressEvent(QKeyEvent* event) {
  // With Ctrl or Meta held the key is a shortcut, never typed text.
  const bool shortcut = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
  if (!shortcut && HoldsRejectedCharacter(event->text())) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void PlaylistIdEdit::inputMethodEvent(QInputMethodEvent* event) {
  // Characters composed with an input method are typed too.
  if (!HoldsRejectedCharacter(event->commitString())) {
    QLineEdit::inputMethodEvent(event);
    return;
  }
  QInputMethodEvent filtered(event->preeditString(), event->attributes());
  filtered.setCommitString(AcceptedCharactersOf(event->commitString()), event->replacementStart(),
                           event->replacementLength());
  QLineEdit::inputMethodEvent(&filtered);
  event->setAccepted(filtered.isAccepted());
}

void PlaylistIdEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // A context menu takes the focus only for a moment, to paste for instance: the box is still being
  // edited.
  if (event->reason() != Qt::PopupFocusReason) Normalise();
}

}  // namespace velbrook
