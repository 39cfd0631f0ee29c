#include "FtpListing.h"

#include "platform/CodePage.h"

#include <QRegularExpression>

namespace {

// "-rw-r--r--   1 owner    group        1024 Jan 01 12:00 NAME"; the owner and
// group columns vary between servers, so the line is anchored on the size
// and date columns in front of the name instead. The name starts after one
// blank and may hold more.
const QRegularExpression &UnixLine() {
  static const QRegularExpression re(QStringLiteral(
      R"(^([-dlbcps])\S{9}\S*\s+\d+\s+.*?(\d+)\s+[A-Za-z]{3}\s+\d{1,2}\s+(?:\d{1,2}:\d{2}|\d{4})\s(.+)$)"));
  return re;
}

// "01-31-24  09:15AM       <DIR>          NAME" / "... 1024 NAME".
const QRegularExpression &DosLine() {
  static const QRegularExpression re(QStringLiteral(
      R"(^\d{2}-\d{2}-\d{2,4}\s+\d{1,2}:\d{2}(?:[AaPp][Mm])?\s+(<DIR>|\d+)\s+(.+)$)"));
  return re;
}

// A size past what a file can have says nothing: -1, never a wrapped number.
qint64 Size(const QString &digits) {
  bool ok = false;
  const qint64 size = digits.toLongLong(&ok);
  return ok ? size : -1;
}

}  // namespace

QList<FtpListEntry> ParseFtpListing(const QByteArray &listing) {
  QList<FtpListEntry> entries;
  for (QByteArray raw : listing.split('\n')) {
    if (raw.endsWith('\r')) raw.chop(1);
    if (raw.isEmpty()) continue;
    const QString line = CodePage::Decode(raw);
    FtpListEntry entry;
    if (const auto m = UnixLine().match(line); m.hasMatch()) {
      entry.directory = m.captured(1) == u"d";
      entry.name = m.captured(3);
      if (!entry.directory) entry.size = Size(m.captured(2));
      // A link shows its target after the name.
      if (m.captured(1) == u"l") {
        const qsizetype arrow = entry.name.indexOf(QStringLiteral(" -> "));
        if (arrow > 0) entry.name.truncate(arrow);
      }
    } else if (const auto d = DosLine().match(line); d.hasMatch()) {
      entry.directory = d.captured(1) == u"<DIR>";
      entry.name = d.captured(2);
      if (!entry.directory) entry.size = Size(d.captured(1));
    } else {
      continue;
    }
    entry.exact = raw.contains(CodePage::Encode(entry.name));
    entries.append(entry);
  }
  return entries;
}

const FtpListEntry *FindListedEntry(const QList<FtpListEntry> &entries, const QString &name) {
  const FtpListEntry *folded = nullptr;
  for (const FtpListEntry &entry : entries) {
    if (entry.name == name) return &entry;
    if (!folded && entry.name.compare(name, Qt::CaseInsensitive) == 0) folded = &entry;
  }
  return folded;
}
