#include "UiFonts.h"

#include <QGuiApplication>
#include <QString>
#include <QStringList>

namespace UiFonts {

void InstallSubstitutions() {
  // One family in every window; the fixed-pitch Gothic, whose wide Latin
  // letters would set the alerts and option lists apart, is only a fallback.
  const QStringList faces{QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")};
  for (const char16_t *face : {kAlertFace, kOptionListFace, kDialogFace})
    QFont::insertSubstitutions(QString::fromUtf16(face), faces);
  // Windows that set no font of their own, such as drop-down lists, too.
  QGuiApplication::setFont(Make(kDialogFace, 10));
}

QFont Make(const char16_t *face, int pointSize) {
  QFont font(QString::fromUtf16(face), pointSize, QFont::Normal);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace UiFonts
