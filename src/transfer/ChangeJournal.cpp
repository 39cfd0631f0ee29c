#include "ChangeJournal.h"

#include "PendantFolder.h"
#include "platform/Device.h"

#include <QFile>
#include <libdeflate.h>

namespace ChangeJournal {
namespace {

const QString kJournal = QStringLiteral("JOURNAL");
const QByteArray kHeader = QByteArrayLiteral("PP_WORK 1");

QByteArray Line(std::initializer_list<QString> fields) {
  QStringList parts(fields);
  return parts.join(u'\t').toUtf8() + '\n';
}

}  // namespace

QString PathIn(const QString &workFolder, const QString &name) { return QStringLiteral("%1\\%2").arg(workFolder, name); }

QString StagingFolder(const QString &workFolder) { return PathIn(workFolder, QStringLiteral("PP_APP")); }

bool Write(const QString &workFolder, const Plan &plan) {
  if (!Device::IsDirectory(workFolder) && !Device::CreateDirectory(workFolder)) return false;
  QByteArray text = kHeader + '\n';
  for (const Removal &removal : plan.removals)
    text += Line({QStringLiteral("REMOVE"), removal.name, removal.folder, removal.controllerDone ? QStringLiteral("1") : QStringLiteral("0")});
  for (const QString &folder : plan.swaps) text += Line({QStringLiteral("SWAP"), folder});
  for (const QString &folder : plan.retired) text += Line({QStringLiteral("RETIRE"), folder});
  for (const Archive &archive : plan.sends)
    text += Line({QStringLiteral("SEND"), archive.name, QString::number(archive.size), QString::number(archive.crc, 16)});
  if (plan.emptied) text += "EMPTIED\n";
  text += Line({QStringLiteral("MENU"), QString::number(plan.menu.size())}) + plan.menu;
  return Device::WriteFileAtomically(PathIn(workFolder, kJournal), text);
}

std::optional<Plan> Read(const QString &workFolder) {
  QByteArray text;
  if (!Device::ReadFile(PathIn(workFolder, kJournal), &text) || !text.startsWith(kHeader + '\n')) return std::nullopt;
  Plan plan;
  qsizetype at = kHeader.size() + 1;
  while (at < text.size()) {
    const qsizetype end = text.indexOf('\n', at);
    if (end < 0) return std::nullopt;
    const QStringList f = QString::fromUtf8(text.mid(at, end - at)).split(u'\t');
    at = end + 1;
    if (f[0] == u"REMOVE" && f.size() == 4) {
      plan.removals.append({f[1], f[2], f[3] == u"1"});
    } else if (f[0] == u"SWAP" && f.size() == 2) {
      plan.swaps.append(f[1]);
    } else if (f[0] == u"RETIRE" && f.size() == 2) {
      plan.retired.append(f[1]);
    } else if (f[0] == u"SEND" && f.size() == 4) {
      plan.sends.append({f[1], f[2].toLongLong(), f[3].toUInt(nullptr, 16)});
    } else if (f[0] == u"EMPTIED" && f.size() == 1) {
      plan.emptied = true;
    } else if (f[0] == u"MENU" && f.size() == 2) {
      plan.menu = text.mid(at);
      if (plan.menu.size() != f[1].toLongLong()) return std::nullopt;
      return plan;
    } else {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

bool Discard(const QString &workFolder) { return PendantFolder::RemoveTree(workFolder).removed; }

bool OpenStaging(const QString &workFolder) {
  return Discard(workFolder) && Device::CreateDirectory(workFolder) && Device::CreateDirectory(StagingFolder(workFolder));
}

std::optional<Archive> Measure(const QString &cePath, const QString &name) {
  const std::optional<QString> host = Device::MapPath(cePath);
  if (!host) return std::nullopt;
  QFile file(*host);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return std::nullopt;
  Archive archive{name, 0, 0};
  // libdeflate's CRC-32 (the same sum as zlib's) runs at memory speed; zlib's
  // took longer than reading the archive. A small buffer stays in the cache
  // and comes from the heap, where a megabyte was mapped and faulted in
  // afresh for every archive.
  quint32 crc = 0;
  QByteArray buffer(64 * 1024, Qt::Uninitialized);
  for (;;) {
    const qint64 got = file.read(buffer.data(), buffer.size());
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    crc = libdeflate_crc32(crc, buffer.constData(), size_t(got));
    archive.size += got;
  }
  archive.crc = crc;
  return archive;
}

}  // namespace ChangeJournal
