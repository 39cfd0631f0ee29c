#include "ArchivePlan.h"

#include <sys/stat.h>

#include <QHash>

#include "platform/CodePage.h"

namespace {

bool IsSeparator(QChar c) { return c == u'/' || c == u'\\'; }

// Characters no FAT name can hold; ":" also marks a drive ("C:x").
bool IsForbiddenCharacter(QChar c) {
  return c.unicode() < 0x20 || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|';
}

bool IsAscii(const char *text) {
  for (; *text; ++text)
    if (static_cast<unsigned char>(*text) >= 0x80) return false;
  return true;
}

QString Quoted(const QString &name) { return u'"' + name + u'"'; }

// The name a path component gets on the pendant: Windows drops trailing dots
// and blanks, so "x", "x." and "x. " name one file, and ".. " the parent.
QString FatName(const QString &part) {
  qsizetype end = part.size();
  while (end > 0 && (part[end - 1] == u'.' || part[end - 1] == u' ')) --end;
  return part.left(end);
}

// "a/b" + "c" -> "a/b/c"; an empty base gives the part alone.
QString Append(const QString &base, const QString &part) { return base.isEmpty() ? part : base + u'/' + part; }

struct Node {
  bool folder = false;
  QString spelled;  // relative path as it will be written
};

}  // namespace

QString DecodeEntryName(zip_t *archive, zip_uint64_t index) {
  const char *raw = zip_get_name(archive, index, ZIP_FL_ENC_RAW);
  if (!raw) return {};
  if (IsAscii(raw)) return QString::fromLatin1(raw);
  // Asked to follow the format strictly, libzip hands back the stored bytes
  // only for a name it knows to be UTF-8 (general purpose bit 11, or a
  // Unicode path field); any other name it converts from CP437, which always
  // changes a non-ASCII name. The bytes of such a name are really in the
  // code page of the Windows machine that made the archive: the device's.
  const char *strict = zip_get_name(archive, index, ZIP_FL_ENC_STRICT);
  if (strict && qstrcmp(strict, raw) == 0) return QString::fromUtf8(raw);
  return CodePage::Decode(QByteArray(raw));
}

std::optional<ArchivePlan> PlanExtraction(zip_t *archive, QString *why) {
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  if (count < 0) {
    *why = QStringLiteral("cannot read the archive's directory");
    return std::nullopt;
  }
  ArchivePlan plan;
  // Keyed by the case-folded relative path of FAT names: FAT compares names
  // ignoring case, after dropping trailing dots and blanks.
  QHash<QString, Node> nodes;
  for (zip_uint64_t index = 0; index < zip_uint64_t(count); ++index) {
    auto refuse = [&](const QString &reason) -> std::optional<ArchivePlan> {
      *why = QStringLiteral("entry %1: %2").arg(index).arg(reason);
      return std::nullopt;
    };
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) != 0) return refuse(QString::fromUtf8(zip_strerror(archive)));
    const QString name = DecodeEntryName(archive, index);
    if (name.isEmpty()) return refuse(QStringLiteral("the entry has no name"));
    if (IsSeparator(name.front())) return refuse(Quoted(name) + QStringLiteral(" is an absolute path"));
    for (QChar c : name) {
      if (c == u':') return refuse(Quoted(name) + QStringLiteral(" names a drive"));
      if (IsForbiddenCharacter(c))
        return refuse(Quoted(name) + QStringLiteral(" holds a character a file name cannot have"));
    }

    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0)
      return refuse(QString::fromUtf8(zip_strerror(archive)));
    // Unix tools keep the file mode in the upper half; a link could point
    // anywhere on the host, and the pendant's FAT has none to offer.
    if (S_ISLNK(attributes >> 16)) return refuse(Quoted(name) + QStringLiteral(" is a symbolic link"));

    const bool folder = IsSeparator(name.back());
    QStringList parts;
    QString current;
    for (qsizetype i = 0; i <= name.size(); ++i) {
      if (i == name.size() || IsSeparator(name[i])) {
        if (current == u"..") return refuse(Quoted(name) + QStringLiteral(" leaves the destination folder"));
        if (!current.isEmpty() && current != u".") {
          if (FatName(current).isEmpty())
            return refuse(Quoted(name) + QStringLiteral(" has a part of dots and blanks only"));
          parts.append(FatName(current));
        }
        current.clear();
      } else {
        current.append(name[i]);
      }
    }
    if (parts.isEmpty()) {
      if (folder) continue;  // "./": the destination itself
      return refuse(Quoted(name) + QStringLiteral(" has no file name"));
    }

    if (!folder) {
      if ((stat.valid & ZIP_STAT_SIZE) == 0) return refuse(Quoted(name) + QStringLiteral(" has no size"));
      if (stat.encryption_method != ZIP_EM_NONE) return refuse(Quoted(name) + QStringLiteral(" is encrypted"));
      if (!zip_compression_method_supported(stat.comp_method, 0))
        return refuse(Quoted(name) + QStringLiteral(" uses compression method %1").arg(stat.comp_method));
    }

    // Walk the folders, creating their nodes; the first spelling of a
    // folder wins, as FAT keeps the name it was created with.
    QString key;
    QString spelled;
    const qsizetype folderCount = folder ? parts.size() : parts.size() - 1;
    for (qsizetype i = 0; i < folderCount; ++i) {
      key = Append(key, parts[i].toCaseFolded());
      auto it = nodes.find(key);
      if (it == nodes.end()) {
        spelled = Append(spelled, parts[i]);
        nodes.insert(key, Node{true, spelled});
        plan.folders.append(spelled);
      } else if (!it->folder) {
        return refuse(Quoted(name) + QStringLiteral(" needs a folder where the archive already has the file ") +
                      Quoted(it->spelled));
      } else {
        spelled = it->spelled;
      }
    }
    if (folder) continue;

    key = Append(key, parts.last().toCaseFolded());
    if (const auto it = nodes.constFind(key); it != nodes.cend())
      return refuse(Quoted(name) + QStringLiteral(" would land on ") + Quoted(it->spelled) +
                    QStringLiteral(" (one name on a FAT volume)"));
    spelled = Append(spelled, parts.last());
    nodes.insert(key, Node{false, spelled});

    PlannedFile file;
    file.index = index;
    file.relative = spelled;
    file.size = stat.size;
    if (stat.valid & ZIP_STAT_MTIME) file.modified = stat.mtime;
    file.method = stat.comp_method;
    if (stat.valid & ZIP_STAT_COMP_SIZE) file.compressedSize = stat.comp_size;
    if (stat.valid & ZIP_STAT_CRC) file.crc = stat.crc;
    if (plan.totalBytes + stat.size < plan.totalBytes) return refuse(QStringLiteral("sizes overflow"));
    plan.totalBytes += stat.size;
    plan.files.append(file);
  }
  return plan;
}
