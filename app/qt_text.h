#pragma once

#include <QString>

#include "base/text.h"

namespace velbrook {

// Texts cross into Qt and back here. A Text is GB18030, which covers all of Unicode, so valid texts
// make the round trip unchanged. A byte that is not part of a GB18030 character shows as U+FFFD
// while the rest of the text stays readable.
QString ToQString(const Text& text);

// The text in GB18030; the empty text when it cannot be converted.
Text ToText(const QString& text);

}  // namespace velbrook
