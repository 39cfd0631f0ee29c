#include "NameRules.h"

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
