#include "WaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace WaitCursor {

void Show() {
  if (QGuiApplication::overrideCursor())
    QGuiApplication::changeOverrideCursor(QCursor(Qt::WaitCursor));
  else
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void Remove() {
  while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
}

bool IsShown() {
  const QCursor *cursor = QGuiApplication::overrideCursor();
  return cursor && cursor->shape() == Qt::WaitCursor;
}

}  // namespace WaitCursor
