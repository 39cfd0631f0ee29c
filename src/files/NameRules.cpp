#include "NameRules.h"

#include <QRegularExpression>

bool IsSafePathName(const QString &name) {
  if (name.size() > kMaxPathNameLength) return false;
  // "." alone names the folder itself: a removal would take every application.
  if (name == u"." || name.contains(QStringLiteral(".."))) return false;
  for (QChar c : name) {
    const char16_t u = c.unicode();
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) return false;
    switch (u) {
      case u'\\':
      case u'/':
      case u':':
      case u'*':
      case u'?':
      case u'"':
      case u'<':
      case u'>':
      case u'|':
        return false;
      default:
        break;
    }
  }
  return true;
}

QString FatKey(const QString &name) {
  qsizetype end = name.size();
  while (end > 0 && (name[end - 1] == u'.' || name[end - 1] == u' ')) --end;
  return name.left(end).toCaseFolded();
}

bool IsUsableFolderName(const QString &name) {
  const QString key = FatKey(name);
  if (key.isEmpty() || !IsSafePathName(name) || name.startsWith(u'.')) return false;
  static const QRegularExpression device(QStringLiteral("^(con|prn|aux|nul|com[1-9]|lpt[1-9])(\\..*)?$"));
  if (device.match(key).hasMatch()) return false;
  for (const char16_t *own : {u"pp_menu.ini", u"pp_menu.bak", u"pp_work.flg", u"pp_work"})
    if (key == QStringView(own)) return false;
  return true;
}
