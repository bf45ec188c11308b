#include "app/qt_text.h"

#include <array>
#include <string>

#include "base/code_page.h"

namespace velbrook {
namespace {

// GB18030 characters are one, two or four bytes long.
constexpr std::array<std::size_t, 3> kCharacterLengths = {1, 2, 4};

// Converts character by character, so that one bad byte spoils only itself.
QString ToQStringLossy(const Text& text) {
  QString shown;
  std::size_t offset = 0;
  while (offset < text.size()) {
    std::size_t used = 0;
    for (std::size_t length : kCharacterLengths) {
      if (offset + length > text.size()) break;
      bool ok = false;
      const std::string utf8 = TextToUtf8(text.substr(offset, length), &ok);
      if (ok && !utf8.empty()) {
        shown += QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        used = length;
        break;
      }
    }
    if (used == 0) {
      shown += QChar(QChar::ReplacementCharacter);
      used = 1;
    }
    offset += used;
  }
  return shown;
}

}  // namespace

QString ToQString(const Text& text) {
  bool ok = false;
  const std::string utf8 = TextToUtf8(text, &ok);
  if (!ok) return ToQStringLossy(text);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Text ToText(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  bool ok = false;
  Text converted = Utf8ToText(std::string(utf8.constData(), static_cast<std::size_t>(utf8.size())), &ok);
  if (!ok) return {};
  return converted;
}

}  // namespace velbrook
