#include "ListRows.h"

#include "files/AppEntry.h"

const std::array<ListColumn, 9> kListColumns = {{
    {u"No", Qt::AlignHCenter, 30},
    {u" Operation", Qt::AlignLeft, 80},
    {u" ", Qt::AlignLeft, 24},
    {u"          Name", Qt::AlignLeft, 140},
    {u"Version     ", Qt::AlignRight, 100},
    {u"Size  ", Qt::AlignRight, 50},
    {u"", Qt::AlignHCenter, 30},
    {u"Version     ", Qt::AlignRight, 100},
    {u"Size  ", Qt::AlignRight, 50},
}};

QString OperationText(int operation) {
  switch (operation) {
    case AppEntry::Add:
      return QStringLiteral("Add");
    case AppEntry::Remove:
      return QStringLiteral("Remove");
    default:
      return QStringLiteral(" ");
  }
}

namespace {

QString MarksText(const AppEntry &entry) {
  if (entry.autoRun && entry.oneTouch) return QStringLiteral("*");
  if (entry.autoRun) return QStringLiteral("A");
  if (entry.oneTouch) return QStringLiteral("O");
  return QStringLiteral(" ");
}

QString VersionText(const AppRecord &record) {
  return record.appVersion.isEmpty() ? QStringLiteral("---        ") : record.appVersion;
}

QString SizeText(const AppRecord &record) {
  return record.fileSize < 1 ? QStringLiteral("---  ") : QString::number(record.fileSize);
}

}  // namespace

QStringList ListRowTexts(const AppEntry &entry, int index) {
  return {QString::asprintf("%03d", index + 1),
          OperationText(entry.operation),
          MarksText(entry),
          entry.name,
          VersionText(entry.installed),
          SizeText(entry.installed),
          QString(),
          VersionText(entry.package),
          SizeText(entry.package)};
}
