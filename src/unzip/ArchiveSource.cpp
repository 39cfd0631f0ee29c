#include "ArchiveSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cerrno>

namespace {

constexpr qsizetype kEndRecordSize = 22;
constexpr qsizetype kCommentLengthAt = 20;  // within the end record
constexpr qsizetype kLongestComment = 0xffff;

QString ErrorText(int code, int system = 0) {
  zip_error_t error;
  zip_error_init(&error);
  zip_error_set(&error, code, system);
  const QString text = QString::fromUtf8(zip_error_strerror(&error));
  zip_error_fini(&error);
  return text;
}

bool ReadAt(int fd, char *data, zip_uint64_t size, zip_uint64_t offset) {
  while (size > 0) {
    const ssize_t got = ::pread(fd, data, size, off_t(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    size -= zip_uint64_t(got);
    offset += zip_uint64_t(got);
  }
  return true;
}

// The archive file, read by pread in the sizes libzip asks for: a whole
// entry's compressed data comes in one call, where libzip's own file source
// goes through stdio in pieces of 4 KiB and a seek before each entry.
//
// Optionally seen as its maker meant it: ending with the end record's
// comment, and the record's comment length saying how much of the comment is
// there. libzip refuses a comment running past the end of the file even when
// not asked to check, and a checked archive must end exactly after its comment.
struct ArchiveFile {
  int fd = -1;
  zip_uint64_t size = 0;       // of the file
  zip_uint64_t length = 0;     // of the view: the file, or up to the end of the comment
  zip_uint64_t fieldAt = 0;    // where the comment length is stored
  char field[2] = {};          // the length of the comment that is there
  bool tidy = false;           // the view patches the comment length
  zip_uint64_t position = 0;
  zip_error_t error;

  ArchiveFile() { zip_error_init(&error); }
  ~ArchiveFile() {
    zip_error_fini(&error);
    if (fd >= 0) ::close(fd);
  }

  bool Open(const QByteArray &path) {
    fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0) return false;
    size = length = zip_uint64_t(info.st_size);
    return true;
  }

  // Switches to the tidy view; false when the file needs none: it is tidy,
  // has no end record, or cannot be read.
  bool FindTidyEnd() {
    // The record is found within reach of its longest comment from the end,
    // as the other tools look for it.
    QByteArray tail(qsizetype(std::min<zip_uint64_t>(size, kEndRecordSize + kLongestComment)), Qt::Uninitialized);
    if (tail.size() < kEndRecordSize ||
        !ReadAt(fd, tail.data(), zip_uint64_t(tail.size()), size - zip_uint64_t(tail.size())))
      return false;
    const qsizetype record = tail.lastIndexOf("PK\x05\x06", tail.size() - kEndRecordSize);
    if (record < 0) return false;
    const qsizetype declared = qFromLittleEndian<quint16>(tail.constData() + record + kCommentLengthAt);
    const qsizetype present = std::min(declared, tail.size() - record - kEndRecordSize);
    if (present == declared && record + kEndRecordSize + present == tail.size()) return false;
    const zip_uint64_t start = size - zip_uint64_t(tail.size());
    length = start + zip_uint64_t(record + kEndRecordSize + present);
    fieldAt = start + zip_uint64_t(record + kCommentLengthAt);
    qToLittleEndian<quint16>(quint16(present), field);
    tidy = true;
    return true;
  }

  zip_int64_t Read(char *data, zip_uint64_t wanted) {
    const zip_uint64_t count = std::min(wanted, length - std::min(position, length));
    if (!ReadAt(fd, data, count, position)) {
      zip_error_set(&error, ZIP_ER_READ, errno);
      return -1;
    }
    if (tidy)
      for (zip_uint64_t i = 0; i < 2; ++i)
        if (fieldAt + i >= position && fieldAt + i < position + count) data[fieldAt + i - position] = field[i];
    position += count;
    return zip_int64_t(count);
  }

  static zip_int64_t Callback(void *state, void *data, zip_uint64_t size, zip_source_cmd_t command) {
    auto *self = static_cast<ArchiveFile *>(state);
    switch (command) {
      case ZIP_SOURCE_OPEN:
        self->position = 0;
        return 0;
      case ZIP_SOURCE_READ:
        return self->Read(static_cast<char *>(data), size);
      case ZIP_SOURCE_CLOSE:
        return 0;
      case ZIP_SOURCE_STAT: {
        auto *stat = static_cast<zip_stat_t *>(data);
        zip_stat_init(stat);
        stat->size = self->length;
        stat->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&self->error, data, size);
      case ZIP_SOURCE_SEEK: {
        const zip_int64_t to =
            zip_source_seek_compute_offset(self->position, self->length, data, size, &self->error);
        if (to < 0) return -1;
        self->position = zip_uint64_t(to);
        return 0;
      }
      case ZIP_SOURCE_TELL:
        return zip_int64_t(self->position);
      case ZIP_SOURCE_FREE:
        delete self;
        return 0;
      case ZIP_SOURCE_ACCEPT_EMPTY:
        return 0;  // an empty file is no archive, as libzip's own file source says
      case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_FREE,
                                              ZIP_SOURCE_ACCEPT_EMPTY, ZIP_SOURCE_SUPPORTS, -1);
      default:
        zip_error_set(&self->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }
};

// The archive through the file's view; on failure the source and the file
// are freed and the reason is in *error.
zip_t *OpenThrough(ArchiveFile *file, zip_error_t *error) {
  zip_source_t *source = zip_source_function_create(&ArchiveFile::Callback, file, error);
  if (!source) {
    delete file;
    return nullptr;
  }
  zip_t *archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, error);
  if (!archive) zip_source_free(source);  // frees the file as well
  return archive;
}

}  // namespace

zip_t *OpenArchive(const QString &hostPath, QString *why) {
  const QByteArray path = QFile::encodeName(hostPath);
  auto *file = new ArchiveFile;
  if (!file->Open(path)) {
    const int error = errno;
    delete file;
    *why = ErrorText(ZIP_ER_OPEN, error);
    return nullptr;
  }
  zip_error_t error;
  zip_error_init(&error);
  zip_t *archive = OpenThrough(file, &error);
  if (!archive) *why = ErrorText(zip_error_code_zip(&error), zip_error_code_system(&error));
  zip_error_fini(&error);
  if (archive) return archive;
  // Only an archive refused as it lies is read again through its tidy end:
  // every other check applies to that view as it did to the file.
  auto *tidy = new ArchiveFile;
  if (!tidy->Open(path) || !tidy->FindTidyEnd()) {
    delete tidy;
    return nullptr;
  }
  zip_error_init(&error);
  archive = OpenThrough(tidy, &error);
  zip_error_fini(&error);
  return archive;
}
