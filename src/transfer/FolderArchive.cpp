#include "FolderArchive.h"

#include "platform/CodePage.h"
#include "platform/Device.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

namespace FolderArchive {
namespace {

// "|" cannot appear in a FAT name, so a half-written archive is never taken
// for a package, and one left by a power loss is plain to see.
constexpr QLatin1StringView kTemporaryPrefix("|pack|");

struct EntryName {
  QByteArray bytes;
  zip_flags_t flags = ZIP_FL_ENC_GUESS;
};

// The names as the medium's archives carry them: the pendant's code page
// without the UTF-8 flag, which the extraction decodes back to the same text.
// libzip only sets the flag for names it is told are UTF-8. A name the code
// page cannot hold would come back with "?" in it, so it goes as flagged
// UTF-8 instead.
EntryName NameOf(const QString &relative) {
  bool ascii = true;
  for (QChar c : relative) ascii = ascii && c.unicode() < 0x80;
  if (ascii) return {relative.toLatin1()};
  const QByteArray local = CodePage::Encode(relative);
  if (CodePage::Decode(local) == relative) return {local};
  return {relative.toUtf8(), ZIP_FL_ENC_UTF_8};
}

// Adds everything below a host folder; *added counts the entries. A folder
// that cannot be listed fails the whole archive: a restore must not quietly
// lose files.
bool AddTree(zip_t *zip, const QString &hostDir, const QString &prefix, int *added) {
  const QFileInfo self(hostDir);
  if (!self.isReadable() || !self.isExecutable()) return false;
  const QFileInfoList entries = QDir(hostDir).entryInfoList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo &entry : entries) {
    // A link may point anywhere on the host: never packed, never followed.
    if (entry.isSymLink()) continue;
    const QString relative = prefix + entry.fileName();
    if (entry.isDir()) {
      int below = 0;
      if (!AddTree(zip, entry.filePath(), relative + u'/', &below)) return false;
      if (below == 0) {
        // Without an entry of its own an empty folder would not come back.
        const EntryName name = NameOf(relative);
        if (zip_dir_add(zip, name.bytes.constData(), name.flags) < 0) return false;
        below = 1;
      }
      *added += below;
    } else if (entry.isFile()) {
      zip_source_t *source = zip_source_file(zip, QFile::encodeName(entry.filePath()).constData(), 0, -1);
      if (!source) return false;
      const EntryName name = NameOf(relative);
      const zip_int64_t index = zip_file_add(zip, name.bytes.constData(), source, name.flags);
      if (index < 0) {
        zip_source_free(source);
        return false;
      }
      if (zip_set_file_compression(zip, zip_uint64_t(index), ZIP_CM_DEFLATE, 0) != 0) return false;
      ++*added;
    }
  }
  return true;
}

// Archives a power loss left half-written in the target's folder.
void RemoveLeftovers(const QString &hostFolder) {
  const QFileInfoList entries = QDir(hostFolder).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
  for (const QFileInfo &entry : entries)
    if (entry.fileName().startsWith(kTemporaryPrefix)) QFile::remove(entry.filePath());
}

// The finished archive reaches the disk before it takes the target's name, so
// that a power loss leaves the old file or the new one, never a truncated one.
bool MoveIntoPlace(const QString &temporary, const QString &target) {
  const QByteArray from = QFile::encodeName(temporary);
  const int fd = ::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  if (!synced || ::rename(from.constData(), QFile::encodeName(target).constData()) != 0) return false;
  // The rename itself made durable; the archive is whole either way.
  const int dir = ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(),
                         O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace

Outcome Pack(const QString &ceFolder, const QString &ceArchive) {
  const Outcome failed =
      Outcome::Failure(StatusLevel::Error, QStringLiteral("Archive create error. (%1)").arg(ceArchive), 0, {});
  const auto folder = Device::MapPath(ceFolder);
  const auto archive = Device::MapPath(ceArchive);
  if (!archive) return failed;
  const QString parent = QFileInfo(*archive).absolutePath();
  RemoveLeftovers(parent);
  if (!folder || !Device::IsDirectory(ceFolder) || QFileInfo(*archive).isDir()) return failed;

  const QString temporary =
      parent + u'/' + kTemporaryPrefix + QString::number(QRandomGenerator::global()->generate64(), 36);
  int error = 0;
  zip_t *zip = zip_open(QFile::encodeName(temporary).constData(), ZIP_CREATE | ZIP_EXCL, &error);
  if (!zip) return failed;
  int added = 0;
  // libzip writes nothing at all for an archive without entries; an
  // application folder without a file has nothing to restore anyway.
  if (!AddTree(zip, *folder, {}, &added) || added == 0 || zip_close(zip) != 0) {
    zip_discard(zip);  // also removes libzip's own temporary file
    return failed;
  }
  if (!MoveIntoPlace(temporary, *archive)) {
    QFile::remove(temporary);
    return failed;
  }
  return Outcome::Success();
}

}  // namespace FolderArchive
