#include "Extractor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "ArchivePlan.h"
#include "ArchiveSource.h"
#include "ExtractCommand.h"
#include "platform/Device.h"

namespace Extractor {
namespace {

// Large enough that the copy costs little next to inflating; one buffer per
// call, left uninitialised: zeroing a megabyte cost more than unpacking a
// small archive.
constexpr size_t kBufferSize = 1 << 20;

// "|" cannot appear in a FAT name, so no application folder can ever be
// called this, and a leftover after a power loss is plain to see.
constexpr const char *kTemporaryPrefix = "|unzip|";

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// A power loss during an earlier extraction leaves its hidden folder behind;
// no application folder can carry that name, so it goes before the next one.
void RemoveLeftovers(const QString &parent) {
  const QStringList names = QDir(parent).entryList(QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot);
  for (const QString &name : names)
    if (name.startsWith(QLatin1String(kTemporaryPrefix))) QDir(parent + u'/' + name).removeRecursively();
}

struct ArchiveCloser {
  void operator()(zip_t *archive) const { zip_discard(archive); }
};
using ArchiveHandle = std::unique_ptr<zip_t, ArchiveCloser>;

// Folders this call created above the destination, removed again when the
// extraction fails.
class CreatedParents {
 public:
  ~CreatedParents() {
    if (m_keep) return;
    for (auto it = m_created.crbegin(); it != m_created.crend(); ++it) ::rmdir(QFile::encodeName(*it).constData());
  }
  // Creates the missing folders of a host path below the device root.
  bool Create(const QString &hostFolder, QString *why) {
    const QString root = QDir::cleanPath(Device::Root());
    QStringList missing;
    QString probe = QDir::cleanPath(hostFolder);
    while (true) {
      struct stat info;
      if (::lstat(QFile::encodeName(probe).constData(), &info) == 0) {
        if (!S_ISDIR(info.st_mode)) {
          *why = QStringLiteral("%1 is not a folder").arg(Device::ToCePath(probe));
          return false;
        }
        break;
      }
      if (probe == root || !probe.startsWith(root + u'/')) {
        *why = QStringLiteral("the device root is missing");
        return false;
      }
      missing.prepend(probe);
      probe = QFileInfo(probe).path();
    }
    for (const QString &folder : missing) {
      if (::mkdir(QFile::encodeName(folder).constData(), 0777) != 0) {
        *why = QStringLiteral("cannot create %1: %2").arg(Device::ToCePath(folder), SystemError(errno));
        return false;
      }
      m_created.append(folder);
    }
    return true;
  }
  void Keep() { m_keep = true; }

 private:
  QStringList m_created;
  bool m_keep = false;
};

// The hidden folder the archive is unpacked into; removed unless it was
// renamed into place.
class TemporaryFolder {
 public:
  ~TemporaryFolder() {
    if (!m_path.isEmpty()) QDir(m_path).removeRecursively();
  }
  // Not mkdtemp: its folder is private to the owner, and the destination
  // must get the permissions any folder made here would get.
  bool Create(const QString &parent, QString *why) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      const QString path = parent + u'/' + QLatin1String(kTemporaryPrefix) +
                           QString::number(QRandomGenerator::global()->generate64(), 36);
      if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0) {
        m_path = path;
        return true;
      }
      if (errno != EEXIST) break;
    }
    *why = QStringLiteral("cannot create a folder in %1: %2").arg(Device::ToCePath(parent), SystemError(errno));
    return false;
  }
  const QString &Path() const { return m_path; }
  // Moves the folder to its final name, never over something that appeared
  // there meanwhile.
  bool MoveTo(const QString &target, QString *why) {
    const QByteArray from = QFile::encodeName(m_path);
    const QByteArray to = QFile::encodeName(target);
    int result = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // A file system without the flag: check, then rename.
      struct stat info;
      if (::lstat(to.constData(), &info) == 0) {
        errno = EEXIST;
      } else {
        result = ::rename(from.constData(), to.constData());
      }
    }
    if (result != 0) {
      *why = QStringLiteral("cannot rename the extracted folder into place: %1").arg(SystemError(errno));
      return false;
    }
    m_path.clear();
    return true;
  }

 private:
  QString m_path;
};

bool WriteAll(int fd, const char *data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= size_t(written);
  }
  return true;
}

Result ExtractFile(zip_t *archive, const PlannedFile &file, const QString &base, char *buffer,
                   QString *why) {
  const QString target = base + u'/' + file.relative;
  const int fd =
      ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    *why = QStringLiteral("cannot create \"%1\": %2").arg(file.relative, SystemError(errno));
    return kWriteFailed;
  }
  auto fail = [&](Result result, const QString &reason) {
    ::close(fd);
    *why = QStringLiteral("\"%1\": %2").arg(file.relative, reason);
    return result;
  };
  zip_file_t *entry = zip_fopen_index(archive, file.index, 0);
  if (!entry) return fail(kBadArchive, QString::fromUtf8(zip_strerror(archive)));
  zip_uint64_t total = 0;
  while (true) {
    const zip_int64_t got = zip_fread(entry, buffer, kBufferSize);
    if (got < 0) {
      const QString reason = QString::fromUtf8(zip_file_strerror(entry));
      zip_fclose(entry);
      return fail(kBadArchive, reason);
    }
    if (got == 0) break;
    total += zip_uint64_t(got);
    // The directory's sizes are what the space check trusted; data beyond
    // them is a lie (or a bomb) and is never written.
    if (total > file.size) {
      zip_fclose(entry);
      return fail(kBadArchive, QStringLiteral("holds more data than its declared %1 bytes").arg(file.size));
    }
    if (!WriteAll(fd, buffer, size_t(got))) {
      const int error = errno;
      zip_fclose(entry);
      return fail(kWriteFailed, SystemError(error));
    }
  }
  const int closeError = zip_fclose(entry);
  if (closeError != 0) {
    zip_error_t error;
    zip_error_init_with_code(&error, closeError);
    const QString reason = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return fail(kBadArchive, reason);
  }
  if (total != file.size)
    return fail(kBadArchive, QStringLiteral("holds %1 bytes instead of %2").arg(total).arg(file.size));
  if (file.modified) {
    const struct timespec times[2] = {{*file.modified, 0}, {*file.modified, 0}};
    ::futimens(fd, times);  // a missing date is no reason to fail
  }
  if (::close(fd) != 0) {
    *why = QStringLiteral("\"%1\": %2").arg(file.relative, SystemError(errno));
    return kWriteFailed;
  }
  return kExtracted;
}

}  // namespace

Result Run(QStringView text, QString *report) {
  QString why;
  const auto command = ParseExtractCommand(text, &why);
  if (!command) {
    *report = QStringLiteral("unzip: bad command (%1)").arg(why);
    return kBadCommand;
  }
  auto failed = [&](Result result, const QString &reason) {
    *report =
        QStringLiteral("unzip: %1 not extracted into %2\\: %3").arg(command->archive, command->destination, reason);
    return result;
  };

  const auto archivePath = Device::MapPath(command->archive);
  if (!archivePath) return failed(kBadCommand, QStringLiteral("the archive path is not on the device"));
  const auto destination = Device::MapPath(command->destination);
  if (!destination || Device::SplitComponents(command->destination).isEmpty())
    return failed(kBadCommand, QStringLiteral("the destination is not a folder on the device"));
  if (!QFileInfo(*archivePath).isFile()) return failed(kBadArchive, QStringLiteral("the archive does not exist"));
  struct stat existing;
  if (::lstat(QFile::encodeName(*destination).constData(), &existing) == 0)
    return failed(kDestinationExists, QStringLiteral("the destination already exists"));

  ArchiveHandle archive(OpenArchive(*archivePath, &why));
  if (!archive) return failed(kBadArchive, QStringLiteral("cannot read the archive: %1").arg(why));
  const auto plan = PlanExtraction(archive.get(), &why);
  if (!plan) return failed(kRefusedEntry, why);

  const qint64 free = Device::FreeBytes(command->destination);
  if (free < 0) return failed(kNoSpace, QStringLiteral("cannot tell the free space of the volume"));
  if (plan->totalBytes > quint64(free))
    return failed(kNoSpace, QStringLiteral("%1 bytes needed, %2 free").arg(plan->totalBytes).arg(free));

  CreatedParents parents;
  const QString parent = QFileInfo(*destination).path();
  if (!parents.Create(parent, &why)) return failed(kWriteFailed, why);
  RemoveLeftovers(parent);
  TemporaryFolder temporary;
  if (!temporary.Create(parent, &why)) return failed(kWriteFailed, why);

  for (const QString &folder : plan->folders) {
    if (::mkdir(QFile::encodeName(temporary.Path() + u'/' + folder).constData(), 0777) != 0)
      return failed(kWriteFailed, QStringLiteral("cannot create \"%1\": %2").arg(folder, SystemError(errno)));
  }
  const std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
  for (const PlannedFile &file : plan->files) {
    const Result result = ExtractFile(archive.get(), file, temporary.Path(), buffer.get(), &why);
    if (result != kExtracted) return failed(result, why);
  }
  // Nothing is flushed here: the installer marks the pendant's folder while
  // it unpacks and flushes the volume once before it takes the mark away,
  // so a power loss in between makes the next start rebuild the folder.
  if (!temporary.MoveTo(*destination, &why)) return failed(kWriteFailed, why);
  parents.Keep();

  *report = QStringLiteral("unzip: %1 extracted into %2\\ (%3 files, %4 folders, %5 bytes)")
                .arg(command->archive, command->destination)
                .arg(plan->files.size())
                .arg(plan->folders.size())
                .arg(plan->totalBytes);
  return kExtracted;
}

}  // namespace Extractor
