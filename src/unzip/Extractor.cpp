#include "Extractor.h"

#include <dirent.h>
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "ArchivePlan.h"
#include "ArchiveSource.h"
#include "ExtractCommand.h"
#include "platform/Device.h"

namespace Extractor {
namespace {

// The piece in which data is read, inflated as a stream and written; the
// caller hears of the progress once per piece written.
constexpr size_t kPiece = 256 << 10;
// Entries up to this size, packed and unpacked, are inflated whole from their
// raw data in memory by libdeflate, about twice as fast as zlib; larger ones
// stream through zlib in pieces. Two buffers of this size at most, whatever
// the archive holds.
constexpr zip_uint64_t kWholeLimit = 8 << 20;

// "|" cannot appear in a FAT name, so no application folder can ever be
// called this, and a leftover after a power loss is plain to see.
constexpr const char *kTemporaryPrefix = "|unzip|";

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// A power loss during an earlier extraction leaves its hidden folder behind;
// no application folder can carry that name, so it goes before the next one.
// Read with readdir: the parent holds every application, and this runs for
// each of them.
void RemoveLeftovers(const QString &parent) {
  QStringList leftovers;
  if (DIR *folder = ::opendir(QFile::encodeName(parent).constData())) {
    const size_t prefix = std::strlen(kTemporaryPrefix);
    while (const dirent *entry = ::readdir(folder))
      if (std::strncmp(entry->d_name, kTemporaryPrefix, prefix) == 0) leftovers.append(QFile::decodeName(entry->d_name));
    ::closedir(folder);
  }
  for (const QString &name : leftovers) {
    const QString path = parent + u'/' + name;
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode))
      QDir(path).removeRecursively();
  }
}

// Tells the caller's sink how far the extraction has got. Whatever the sink
// does, it cannot change the outcome: what it throws is dropped here, errno
// is kept for the caller of the write it followed, and the last report comes
// only once the folder is in place.
class Progress {
 public:
  Progress(const UnZipProgressSink *sink, zip_uint64_t total)
      : m_sink(sink && sink->report ? sink : nullptr), m_total(total) {}
  void Start() { Tell(0); }
  void Add(size_t bytes) {
    m_done += bytes;
    if (m_done >= m_next && m_done < m_total) Tell(m_done);
  }
  void Finish() { Tell(m_total); }

 private:
  void Tell(zip_uint64_t done) {
    m_next = done + kPiece;
    if (!m_sink) return;
    const int saved = errno;
    try {
      m_sink->report(m_sink->context, static_cast<long long>(done), static_cast<long long>(m_total));
    } catch (...) {
    }
    errno = saved;
  }

  const UnZipProgressSink *m_sink;
  zip_uint64_t m_total;
  zip_uint64_t m_done = 0;
  zip_uint64_t m_next = 0;
};

// A buffer that grows to the largest size asked of it, left uninitialised.
class Buffer {
 public:
  char *Get(size_t size) {
    if (size > m_size || !m_data) {
      m_data = std::make_unique_for_overwrite<char[]>(std::max<size_t>(size, 1));
      m_size = std::max<size_t>(size, 1);
    }
    return m_data.get();
  }
  void Trim(size_t most) {
    if (m_size <= most) return;
    m_data.reset();
    m_size = 0;
  }

 private:
  std::unique_ptr<char[]> m_data;
  size_t m_size = 0;
};

// What a call needs for its entries.
struct Workspace {
  Buffer in;   // raw data
  Buffer out;  // unpacked data
  libdeflate_decompressor *inflater = nullptr;

  ~Workspace() {
    if (inflater) libdeflate_free_decompressor(inflater);
  }
  libdeflate_decompressor *Inflater() {
    if (!inflater && !(inflater = libdeflate_alloc_decompressor())) throw std::bad_alloc();
    return inflater;
  }
};

// The workspace is kept from one call to the next (the library stays loaded:
// see its linker options), so that the pages of its buffers are not faulted
// in afresh for each application; fresh memory cost more than the checks of
// a small archive. Buffers beyond kKept are given back after the call. A call
// that finds it in use (another thread's, or one made from a progress sink)
// makes its own.
constexpr size_t kKept = 2 << 20;
std::atomic<bool> g_keptInUse{false};
Workspace g_kept;

class WorkspaceLease {
 public:
  WorkspaceLease() : m_kept(!g_keptInUse.exchange(true, std::memory_order_acquire)) {}
  ~WorkspaceLease() {
    if (!m_kept) return;
    g_kept.in.Trim(kKept);
    g_kept.out.Trim(kKept);
    g_keptInUse.store(false, std::memory_order_release);
  }
  Workspace &Get() { return m_kept ? g_kept : m_own; }

 private:
  bool m_kept;
  Workspace m_own;
};

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
    if (m_fd >= 0) ::close(m_fd);
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
        // Everything inside is made relative to the folder, not walked to
        // again from the root for each file.
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (m_fd >= 0) return true;
        break;
      }
      if (errno != EEXIST) break;
    }
    *why = QStringLiteral("cannot create a folder in %1: %2").arg(Device::ToCePath(parent), SystemError(errno));
    return false;
  }
  const QString &Path() const { return m_path; }
  int Descriptor() const { return m_fd; }
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
  int m_fd = -1;
};

// One file being written, summed with libdeflate's CRC-32 (zlib's is several
// times slower) piece by piece as it goes out, while the piece is still in
// the cache; closed (unchecked) unless Close was called.
class OutputFile {
 public:
  OutputFile(int fd, Progress &progress) : m_fd(fd), m_progress(progress) {}
  ~OutputFile() {
    if (m_fd >= 0) ::close(m_fd);
  }
  // In pieces, so that the caller hears of the progress within large files.
  bool Write(const char *data, size_t size) {
    while (size > 0) {
      const size_t piece = std::min(size, kPiece);
      m_crc = libdeflate_crc32(m_crc, data, piece);
      for (size_t left = piece; left > 0;) {
        const ssize_t written = ::write(m_fd, data, left);
        if (written < 0) {
          if (errno == EINTR) continue;
          return false;
        }
        data += written;
        left -= size_t(written);
      }
      size -= piece;
      m_written += piece;
      m_progress.Add(piece);
    }
    return true;
  }
  zip_uint64_t Written() const { return m_written; }
  zip_uint32_t Crc() const { return m_crc; }
  void SetModified(time_t modified) {
    const struct timespec times[2] = {{modified, 0}, {modified, 0}};
    ::futimens(m_fd, times);  // a missing date is no reason to fail
  }
  // Starts writing the file to the medium without waiting for it, so that
  // the installer's flush of the volume, which waits, finds most of the data
  // already written while the next files were unpacked. Only a head start:
  // that flush is what makes the data durable and reports a failed write.
  void StartWriteBack() { ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE); }
  bool Close() {
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
  }

 private:
  int m_fd;
  Progress &m_progress;
  zip_uint64_t m_written = 0;
  zip_uint32_t m_crc = 0;
};

struct EntryCloser {
  void operator()(zip_file_t *entry) const { zip_fclose(entry); }
};
using EntryHandle = std::unique_ptr<zip_file_t, EntryCloser>;

// Why an entry's data is refused, or empty when it is what the directory says.
class EntryCheck {
 public:
  explicit EntryCheck(const PlannedFile &file) : m_file(file) {}
  QString MoreThanDeclared() const {
    return QStringLiteral("holds more data than its declared %1 bytes").arg(m_file.size);
  }
  QString Final(const OutputFile &out) const {
    if (out.Written() != m_file.size)
      return QStringLiteral("holds %1 bytes instead of %2").arg(out.Written()).arg(m_file.size);
    if (m_file.crc && out.Crc() != *m_file.crc) return QStringLiteral("CRC error");
    return {};
  }

 private:
  const PlannedFile &m_file;
};

Result Refuse(QString *why, const QString &reason, Result result) {
  *why = reason;
  return result;
}

// Up to `size` raw bytes of the entry; fewer only at its end, -1 on error.
zip_int64_t ReadRaw(zip_file_t *entry, char *data, zip_uint64_t size) {
  zip_uint64_t total = 0;
  while (total < size) {
    const zip_int64_t got = zip_fread(entry, data + total, size - total);
    if (got < 0) return -1;
    if (got == 0) break;
    total += zip_uint64_t(got);
  }
  return zip_int64_t(total);
}

// The data paths. Each returns kExtracted, or a result and the reason in
// *why; nothing is written that lies beyond the size the directory declared,
// and a file whose size or CRC-32 is not the declared one fails the call.

// Stored data: read raw, written as it comes.
Result CopyStored(zip_t *archive, const PlannedFile &file, OutputFile &out, Workspace &work, QString *why) {
  EntryHandle entry(zip_fopen_index(archive, file.index, ZIP_FL_COMPRESSED));
  if (!entry) return Refuse(why, QString::fromUtf8(zip_strerror(archive)), kBadArchive);
  const EntryCheck check(file);
  char *buffer = work.in.Get(kPiece);
  while (true) {
    const zip_int64_t got = ReadRaw(entry.get(), buffer, kPiece);
    if (got < 0) return Refuse(why, QString::fromUtf8(zip_file_strerror(entry.get())), kBadArchive);
    if (got == 0) break;
    if (out.Written() + zip_uint64_t(got) > file.size) return Refuse(why, check.MoreThanDeclared(), kBadArchive);
    if (!out.Write(buffer, size_t(got))) return Refuse(why, SystemError(errno), kWriteFailed);
  }
  *why = check.Final(out);
  return why->isEmpty() ? kExtracted : kBadArchive;
}

// Deflated data of an entry within the memory bound: read whole, inflated
// whole by libdeflate into a buffer of the declared size (so more data than
// declared cannot fit), written, checked.
Result InflateWhole(zip_t *archive, const PlannedFile &file, OutputFile &out, Workspace &work, QString *why) {
  EntryHandle entry(zip_fopen_index(archive, file.index, ZIP_FL_COMPRESSED));
  if (!entry) return Refuse(why, QString::fromUtf8(zip_strerror(archive)), kBadArchive);
  const EntryCheck check(file);
  const zip_uint64_t packed = *file.compressedSize;
  char *in = work.in.Get(size_t(packed));
  const zip_int64_t got = ReadRaw(entry.get(), in, packed);
  if (got < 0) return Refuse(why, QString::fromUtf8(zip_file_strerror(entry.get())), kBadArchive);
  char *unpacked = work.out.Get(size_t(file.size));
  size_t total = 0;
  switch (libdeflate_deflate_decompress(work.Inflater(), in, size_t(got), unpacked, size_t(file.size), &total)) {
    case LIBDEFLATE_SUCCESS:
      break;
    case LIBDEFLATE_INSUFFICIENT_SPACE:
      return Refuse(why, check.MoreThanDeclared(), kBadArchive);
    default:
      return Refuse(why, QStringLiteral("the compressed data is damaged"), kBadArchive);
  }
  if (!out.Write(unpacked, total)) return Refuse(why, SystemError(errno), kWriteFailed);
  *why = check.Final(out);
  return why->isEmpty() ? kExtracted : kBadArchive;
}

// Deflated data of a large entry: raw pieces through zlib, each piece
// checked against the declared size before it is written.
Result InflateStream(zip_t *archive, const PlannedFile &file, OutputFile &out, Workspace &work, QString *why) {
  EntryHandle entry(zip_fopen_index(archive, file.index, ZIP_FL_COMPRESSED));
  if (!entry) return Refuse(why, QString::fromUtf8(zip_strerror(archive)), kBadArchive);
  const EntryCheck check(file);
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
  const std::unique_ptr<z_stream, int (*)(z_stream *)> ender(&stream, inflateEnd);
  char *in = work.in.Get(kPiece);
  char *unpacked = work.out.Get(kPiece);
  bool atEnd = false;
  for (bool streamEnd = false; !streamEnd;) {
    if (stream.avail_in == 0 && !atEnd) {
      const zip_int64_t got = ReadRaw(entry.get(), in, kPiece);
      if (got < 0) return Refuse(why, QString::fromUtf8(zip_file_strerror(entry.get())), kBadArchive);
      atEnd = got == 0;
      stream.next_in = reinterpret_cast<Bytef *>(in);
      stream.avail_in = uInt(got);
    }
    stream.next_out = reinterpret_cast<Bytef *>(unpacked);
    stream.avail_out = uInt(kPiece);
    const int result = inflate(&stream, Z_NO_FLUSH);
    if (result == Z_STREAM_END) streamEnd = true;
    else if (result == Z_MEM_ERROR) throw std::bad_alloc();
    else if (result != Z_OK && result != Z_BUF_ERROR)
      return Refuse(why, QStringLiteral("the compressed data is damaged"), kBadArchive);
    const size_t produced = kPiece - stream.avail_out;
    if (out.Written() + produced > file.size) return Refuse(why, check.MoreThanDeclared(), kBadArchive);
    if (!out.Write(unpacked, produced)) return Refuse(why, SystemError(errno), kWriteFailed);
    if (!streamEnd && atEnd && stream.avail_in == 0 && stream.avail_out != 0)
      return Refuse(why, QStringLiteral("the compressed data ends early"), kBadArchive);
  }
  *why = check.Final(out);
  return why->isEmpty() ? kExtracted : kBadArchive;
}

// Any other method libzip unpacks: through libzip, which checks the CRC-32.
Result UnpackThroughLibzip(zip_t *archive, const PlannedFile &file, OutputFile &out, Workspace &work, QString *why) {
  EntryHandle entry(zip_fopen_index(archive, file.index, 0));
  if (!entry) return Refuse(why, QString::fromUtf8(zip_strerror(archive)), kBadArchive);
  const EntryCheck check(file);
  char *buffer = work.out.Get(kPiece);
  while (true) {
    const zip_int64_t got = zip_fread(entry.get(), buffer, kPiece);
    if (got < 0) return Refuse(why, QString::fromUtf8(zip_file_strerror(entry.get())), kBadArchive);
    if (got == 0) break;
    if (out.Written() + zip_uint64_t(got) > file.size) return Refuse(why, check.MoreThanDeclared(), kBadArchive);
    if (!out.Write(buffer, size_t(got))) return Refuse(why, SystemError(errno), kWriteFailed);
  }
  // Read to its end, so libzip has compared the CRC-32; the close says so.
  if (const int error = zip_fclose(entry.release()); error != 0) {
    zip_error_t detail;
    zip_error_init_with_code(&detail, error);
    *why = QString::fromUtf8(zip_error_strerror(&detail));
    zip_error_fini(&detail);
    return kBadArchive;
  }
  *why = check.Final(out);
  return why->isEmpty() ? kExtracted : kBadArchive;
}

Result ExtractFile(zip_t *archive, const PlannedFile &file, int folder, Workspace &work, Progress &progress,
                   QString *why) {
  const int fd = ::openat(folder, QFile::encodeName(file.relative).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    *why = QStringLiteral("cannot create \"%1\": %2").arg(file.relative, SystemError(errno));
    return kWriteFailed;
  }
  OutputFile out(fd, progress);
  QString reason;
  Result result;
  const bool raw = file.crc && file.compressedSize;
  if (raw && file.method == ZIP_CM_STORE)
    result = CopyStored(archive, file, out, work, &reason);
  else if (raw && file.method == ZIP_CM_DEFLATE && file.size <= kWholeLimit && *file.compressedSize <= kWholeLimit)
    result = InflateWhole(archive, file, out, work, &reason);
  else if (raw && file.method == ZIP_CM_DEFLATE)
    result = InflateStream(archive, file, out, work, &reason);
  else
    result = UnpackThroughLibzip(archive, file, out, work, &reason);
  if (result == kExtracted) {
    if (file.modified) out.SetModified(*file.modified);
    out.StartWriteBack();
    if (!out.Close()) {
      result = kWriteFailed;
      reason = SystemError(errno);
    }
  }
  if (result != kExtracted) *why = QStringLiteral("\"%1\": %2").arg(file.relative, reason);
  return result;
}

}  // namespace

Result Run(QStringView text, QString *report, const UnZipProgressSink *sink) {
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

  // Asked of the destination's parent, the same volume: mapping the name
  // that does not exist yet would read its whole folder once more.
  const QStringList parts = Device::SplitComponents(command->destination);
  const qint64 free = Device::FreeBytes(parts.size() > 1 ? u'\\' + parts.first(parts.size() - 1).join(u'\\')
                                                         : command->destination);
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
    if (::mkdirat(temporary.Descriptor(), QFile::encodeName(folder).constData(), 0777) != 0)
      return failed(kWriteFailed, QStringLiteral("cannot create \"%1\": %2").arg(folder, SystemError(errno)));
  }
  Progress progress(sink, plan->totalBytes);
  progress.Start();
  WorkspaceLease lease;
  for (const PlannedFile &file : plan->files) {
    const Result result = ExtractFile(archive.get(), file, temporary.Descriptor(), lease.Get(), progress, &why);
    if (result != kExtracted) return failed(result, why);
  }
  // Nothing is flushed here (each file's write-back was only started): the
  // installer marks the pendant's folder while it unpacks and flushes the
  // volume once before it takes the mark away, so a power loss in between
  // makes the next start rebuild the folder.
  if (!temporary.MoveTo(*destination, &why)) return failed(kWriteFailed, why);
  parents.Keep();
  progress.Finish();

  *report = QStringLiteral("unzip: %1 extracted into %2\\ (%3 files, %4 folders, %5 bytes)")
                .arg(command->archive, command->destination)
                .arg(plan->files.size())
                .arg(plan->folders.size())
                .arg(plan->totalBytes);
  return kExtracted;
}

}  // namespace Extractor
