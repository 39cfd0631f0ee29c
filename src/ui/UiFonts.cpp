#include "UiFonts.h"

#include <QFontDatabase>
#include <QString>
#include <QStringList>

namespace UiFonts {

void InstallSubstitutions() {
  const QString fixed = QStringLiteral("IPAGothic");
  const QString proportional = QStringLiteral("IPAPGothic");
  QFont::insertSubstitutions(QString::fromUtf16(kAlertFace), QStringList{fixed, proportional});
  QFont::insertSubstitutions(QString::fromUtf16(kOptionListFace), QStringList{fixed, proportional});
  QFont::insertSubstitutions(QString::fromUtf16(kDialogFace), QStringList{proportional, fixed});
}

QFont Make(const char16_t *face, int pointSize, bool fixedPitch) {
  QFont font(QString::fromUtf16(face), pointSize, QFont::Normal);
  font.setFixedPitch(fixedPitch);
  font.setStyleHint(fixedPitch ? QFont::TypeWriter : QFont::SansSerif);
  return font;
}

}  // namespace UiFonts
