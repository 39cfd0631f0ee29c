#include "Device.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStorageInfo>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace Device {
namespace {

constexpr const char *kRootVariable = "PP_DEVICE_ROOT";
constexpr const char *kFreeVariable = "PP_FREE_SPACE_BYTES";
constexpr const char *kFlashVariable = "PP_FLASH_BYTES";
// The pendant's own flash disk; the media are volumes of their own.
constexpr QStringView kFlashVolume = u"DiskOnChip";

bool IsSeparator(QChar c) { return c == u'\\' || c == u'/'; }

// The entry of a folder whose name equals `name` ignoring case; the exact
// spelling wins when both exist (a host folder may hold two spellings that
// FAT could not).
QString MatchEntry(const QString &folder, const QString &name) {
  if (QFileInfo::exists(folder + u'/' + name) || QFileInfo(folder + u'/' + name).isSymLink())
    return name;
  const QStringList entries =
      QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                             QDir::Name);
  for (const QString &entry : entries) {
    if (entry.compare(name, Qt::CaseInsensitive) == 0) return entry;
  }
  return {};
}

bool IsRefusedComponent(const QString &component) {
  return component == u".." || component.contains(u':');
}

// "*" any run of characters, "?" one character, everything else literal.
QString WildcardToRegex(const QString &pattern) {
  QString regex = QStringLiteral("\\A");
  for (QChar c : pattern) {
    if (c == u'*')
      regex += QStringLiteral(".*");
    else if (c == u'?')
      regex += u'.';
    else
      regex += QRegularExpression::escape(QString(c));
  }
  return regex + QStringLiteral("\\z");
}

// Makes the names in a folder (a rename, a new file) reach the disk.
void SyncFolder(const QString &hostFolder) {
  const int dir = ::open(QFile::encodeName(hostFolder).constData(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

// What the files below a host folder take (links are not followed: a FAT
// volume has none). Walked at every query, each repaint of the dialog among
// them: a pendant's flash holds a few hundred files, a walk of well under a
// millisecond.
qint64 BytesBelow(const QString &hostFolder) {
  qint64 total = 0;
  QDirIterator files(hostFolder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                     QDirIterator::Subdirectories);
  while (files.hasNext()) total += files.nextFileInfo().size();
  return total;
}

}  // namespace

void SetRoot(const QString &hostDir) {
  const QString absolute = hostDir.isEmpty() ? QString() : QDir::cleanPath(QDir(hostDir).absolutePath());
  qputenv(kRootVariable, QFile::encodeName(absolute));
}

QString Root() { return QFile::decodeName(qgetenv(kRootVariable)); }

QStringList SplitComponents(const QString &cePath) {
  QStringList parts;
  QString current;
  for (QChar c : cePath) {
    if (IsSeparator(c)) {
      if (!current.isEmpty()) parts.append(current);
      current.clear();
    } else {
      current.append(c);
    }
  }
  if (!current.isEmpty()) parts.append(current);
  return parts;
}

bool IsContainedRelativePath(const QString &relative) {
  if (relative.isEmpty() || IsSeparator(relative.front())) return false;
  const QStringList parts = SplitComponents(relative);
  return std::none_of(parts.begin(), parts.end(), IsRefusedComponent);
}

std::optional<QString> MapPath(const QString &cePath) {
  const QString root = Root();
  if (root.isEmpty()) return std::nullopt;
  QString current = root;
  bool existing = true;
  const QStringList parts = SplitComponents(cePath);
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QString &part = parts[i];
    if (IsRefusedComponent(part)) return std::nullopt;
    if (part == u".") continue;
    if (existing) {
      const QString match = MatchEntry(current, part);
      if (match.isEmpty()) {
        existing = false;
        current += u'/' + part;
        continue;
      }
      current += u'/' + match;
      // A link could lead anywhere on the host; a FAT volume has none, so a
      // link is never walked through.
      if (i + 1 < parts.size() && QFileInfo(current).isSymLink()) return std::nullopt;
    } else {
      current += u'/' + part;
    }
  }
  return current;
}

QString ToCePath(const QString &hostPath) {
  const QString root = Root();
  if (root.isEmpty() || hostPath.isEmpty()) return {};
  auto normalise = [](const QString &path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
  };
  const QString base = normalise(root);
  const QString path = normalise(hostPath);
  if (path == base) return QStringLiteral("\\");
  if (!path.startsWith(base + u'/')) return {};
  QString relative = path.mid(base.size());
  relative.replace(u'/', u'\\');
  return relative;
}

QString ModuleCePath() {
  QString host;
  if (QCoreApplication::instance()) host = QCoreApplication::applicationFilePath();
  if (host.isEmpty()) host = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
  return ToCePath(host);
}

QList<FindData> FindFiles(const QString &cePattern) {
  QList<FindData> found;
  QStringList parts = SplitComponents(cePattern);
  if (parts.isEmpty()) return found;
  const QString pattern = parts.takeLast();
  const auto folder = MapPath(parts.join(u'\\'));
  if (!folder || IsRefusedComponent(pattern)) return found;
  const QRegularExpression matcher(WildcardToRegex(pattern), QRegularExpression::CaseInsensitiveOption);
  const QFileInfoList entries = QDir(*folder).entryInfoList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo &entry : entries) {
    if (!matcher.match(entry.fileName()).hasMatch()) continue;
    FindData data;
    data.name = entry.fileName();
    data.directory = entry.isDir() && !entry.isSymLink();
    data.size = data.directory ? 0 : entry.size();
    found.append(data);
  }
  return found;
}

bool Exists(const QString &cePath) {
  const auto host = MapPath(cePath);
  return host && (QFileInfo::exists(*host) || QFileInfo(*host).isSymLink());
}

bool IsDirectory(const QString &cePath) {
  const auto host = MapPath(cePath);
  if (!host) return false;
  const QFileInfo info(*host);
  return info.isDir() && !info.isSymLink();
}

bool IsFile(const QString &cePath) {
  const auto host = MapPath(cePath);
  return host && QFileInfo(*host).isFile();
}

bool CanOpenForRead(const QString &cePath) {
  const auto host = MapPath(cePath);
  if (!host || QFileInfo(*host).isDir()) return false;
  QFile file(*host);
  return file.open(QIODevice::ReadOnly);
}

bool ReadFile(const QString &cePath, QByteArray *data) {
  const auto host = MapPath(cePath);
  if (!host || QFileInfo(*host).isDir()) return false;
  QFile file(*host);
  if (!file.open(QIODevice::ReadOnly)) return false;
  *data = file.readAll();
  return file.error() == QFileDevice::NoError;
}

bool WriteFileAtomically(const QString &cePath, const QByteArray &data) {
  const auto host = MapPath(cePath);
  if (!host || QFileInfo(*host).isDir()) return false;
  QSaveFile file(*host);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(data) != data.size()) {
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) return false;  // flushes to disk, then renames
  SyncFolder(QFileInfo(*host).absolutePath());  // makes the rename itself durable
  ChangeDone();
  return true;
}

bool FlushVolume(const QString &cePath) {
  const auto host = MapPath(cePath);
  if (!host) return false;
  QString probe = *host;
  while (!QFileInfo::exists(probe)) {
    const QString parent = QFileInfo(probe).absolutePath();
    if (parent == probe) return false;
    probe = parent;
  }
  const int fd = ::open(QFile::encodeName(probe).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool flushed = ::syncfs(fd) == 0;
  ::close(fd);
  return flushed;
}

bool CreateDirectory(const QString &cePath) {
  const auto host = MapPath(cePath);
  if (!host || QFileInfo::exists(*host)) return false;
  if (!QDir().mkdir(*host)) return false;
  ChangeDone();
  return true;
}

bool RemoveDirectory(const QString &cePath) {
  const auto host = MapPath(cePath);
  if (!host) return false;
  const QFileInfo info(*host);
  if (!info.isDir() || info.isSymLink()) return false;
  if (!QDir().rmdir(*host)) return false;
  ChangeDone();
  return true;
}

bool DeleteFile(const QString &cePath) {
  const auto host = MapPath(cePath);
  if (!host) return false;
  const QFileInfo info(*host);
  if (info.isDir() && !info.isSymLink()) return false;
  if (!QFile::remove(*host)) return false;
  ChangeDone();
  return true;
}

bool CopyFile(const QString &from, const QString &to, bool failIfExists) {
  const auto source = MapPath(from);
  const auto target = MapPath(to);
  if (!source || !target || !QFileInfo(*source).isFile()) return false;
  if (QFileInfo::exists(*target)) {
    if (failIfExists || QFileInfo(*target).isDir() || !QFile::remove(*target)) return false;
  }
  if (!QFile::copy(*source, *target)) return false;
  ChangeDone();
  return true;
}

bool MoveFile(const QString &from, const QString &to, bool flushNow) {
  const auto source = MapPath(from);
  const auto target = MapPath(to);
  if (!source || !target || !QFileInfo::exists(*source) || QFileInfo::exists(*target)) return false;
  if (::rename(QFile::encodeName(*source).constData(), QFile::encodeName(*target).constData()) != 0) return false;
  if (flushNow) SyncFolder(QFileInfo(*target).absolutePath());
  ChangeDone();
  return true;
}

void ChangeDone() {
  static int remaining = qEnvironmentVariableIntValue("PP_TEST_CRASH_AFTER");
  if (remaining > 0 && --remaining == 0) ::_exit(86);
}

qint64 FreeBytes(const QString &cePath) {
  bool overridden = false;
  const qint64 pretended = qEnvironmentVariable(kFreeVariable).toLongLong(&overridden);
  if (overridden && pretended >= 0) return pretended;
  const auto host = MapPath(cePath);
  if (!host) return -1;
  QFileInfo info(*host);
  QString probe = *host;
  while (!QFileInfo::exists(probe)) {
    const QString parent = QFileInfo(probe).absolutePath();
    if (parent == probe) return -1;
    probe = parent;
  }
  const QStorageInfo storage(probe);
  const qint64 available = storage.isValid() ? storage.bytesAvailable() : -1;
  // A flash of its own size: what its files take is gone, and it never has
  // more than the host volume that holds it.
  bool sized = false;
  const qint64 flash = qEnvironmentVariable(kFlashVariable).toLongLong(&sized);
  const QStringList parts = SplitComponents(cePath);
  if (available < 0 || !sized || flash < 0 || parts.isEmpty() ||
      parts.front().compare(kFlashVolume, Qt::CaseInsensitive) != 0)
    return available;
  const auto volume = MapPath(parts.front());
  return volume ? std::clamp<qint64>(flash - BytesBelow(*volume), 0, available) : -1;
}

void SetFreeBytesOverride(qint64 bytes) {
  if (bytes < 0)
    qunsetenv(kFreeVariable);
  else
    qputenv(kFreeVariable, QByteArray::number(bytes));
}

void SetFlashBytes(qint64 bytes) {
  if (bytes < 0)
    qunsetenv(kFlashVariable);
  else
    qputenv(kFlashVariable, QByteArray::number(bytes));
}

}  // namespace Device
