#pragma once
// Reading the answer to LIST: the unix "ls -l" lines most servers send and
// the DOS lines of Windows-style servers: the name, whether the entry is a
// folder, and a file's size.
#include <QByteArray>
#include <QList>
#include <QString>

struct FtpListEntry {
  QString name;
  bool directory = false;
  qint64 size = -1;  // bytes, as listed; -1 for a folder
  // The name converts back to the bytes the server listed; when not, a
  // command naming it would name something else.
  bool exact = true;
};

// One entry per line that has either form; other lines ("total 12", blank
// lines, lines this parser does not know) are left out. Names are decoded
// from the device code page and kept exactly, inner blanks included.
QList<FtpListEntry> ParseFtpListing(const QByteArray &listing);

// The entry of that name: its exact spelling, else the first that differs
// only in case, as the controller finds names. Null when there is none.
const FtpListEntry *FindListedEntry(const QList<FtpListEntry> &entries, const QString &name);
