#include "RunSummary.h"

void CompareInstalled(const InstalledVersions &before, const InstalledVersions &after, RunSummary *summary) {
  for (auto it = after.cbegin(); it != after.cend(); ++it) {
    const auto old = before.constFind(it.key());
    if (old == before.cend())
      summary->installed.append(it.key());
    else if (old.value() != it.value())
      summary->updated.append(it.key());
    else
      summary->kept.append(it.key());
  }
  for (auto it = before.cbegin(); it != before.cend(); ++it)
    if (!after.contains(it.key())) summary->removed.append(it.key());
}

QString ByteSize(qint64 bytes) {
  if (bytes < 1024) return QStringLiteral("%1 bytes").arg(bytes);
  if (bytes < 1024 * 1024) return QStringLiteral("%1 KiB").arg(double(bytes) / 1024.0, 0, 'f', 1);
  return QStringLiteral("%1 MiB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

QString SummaryText(const RunSummary &summary) {
  // Said the same way after a failure too: it tells what the pendant now holds.
  const qsizetype sent = summary.sent.size();
  return QStringLiteral("Execute finished: installed %1, updated %2, removed %3, kept %4; sent %5 (%6) in %7 s.")
      .arg(summary.installed.size())
      .arg(summary.updated.size())
      .arg(summary.removed.size())
      .arg(summary.kept.size())
      .arg(sent == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(sent))
      .arg(ByteSize(summary.bytesSent))
      .arg(double(summary.milliseconds) / 1000.0, 0, 'f', 1);
}
