#include "EventLines.h"

namespace EventLines {

namespace {

QString Names(const QStringList &names) { return names.isEmpty() ? QStringLiteral("-") : names.join(u','); }

QString Number(qint64 value) { return QString::number(value); }

}  // namespace

QString OneLine(const QString &text) {
  QString line = text;
  line.replace(u'\n', QStringLiteral("\\n"));
  return line;
}

QString Status(StatusLevel level, const QString &text) {
  // One substitution pass: a "%1" inside a text stays as it is.
  return QStringLiteral("status %1: %2").arg(Number(static_cast<int>(level)), OneLine(text));
}

QString Alert(const AlertRequest &alert, int answer) {
  return QStringLiteral("alert %1: %2 | %3 -> %4")
      .arg(Number(alert.messageId), OneLine(alert.message), OneLine(alert.detail), Number(answer));
}

QString ProgressLine(const Progress &p) {
  return QStringLiteral("progress %1 %2 %3/%4 files %5/%6 bytes %7/%8")
      .arg(p.stage, OneLine(p.file), Number(p.fileDone), Number(p.fileTotal), Number(p.filesDone), Number(p.filesTotal),
           Number(p.bytesDone), Number(p.bytesTotal));
}

QString Summary(const RunSummary &s) {
  return QStringLiteral("summary %1: installed %2; updated %3; removed %4; kept %5; sent %6 (%7 bytes); fetched %8 (%9 bytes); %10 s")
      .arg(s.stage, Names(s.installed), Names(s.updated), Names(s.removed), Names(s.kept), Names(s.sent),
           Number(s.bytesSent), Names(s.fetched), Number(s.bytesFetched),
           QString::number(double(s.milliseconds) / 1000.0, 'f', 3));
}

QString Detail(const QString &text) { return QStringLiteral("detail: %1").arg(OneLine(text)); }

}  // namespace EventLines
