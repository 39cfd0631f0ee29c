#include "IniFile.h"

#include "platform/CodePage.h"
#include "platform/Device.h"

#include <QFile>
#include <QFileInfo>

#include <climits>
#include <cstring>
#include <vector>

namespace {

// Lines are read as fgets reads them into a 512-byte buffer: at most 511
// bytes at a time, so a longer physical line continues as a new line.
constexpr qint64 kLineBuffer = 512;

struct RawLine {
  QString text;       // after removing tabs, CR and LF
  char firstByte = 0;  // the first byte as read
};

void MakeLine(const char *bytes, qsizetype read, RawLine *line) {
  // Conversion stops at a NUL byte, as the platform's does.
  const size_t length = strnlen(bytes, static_cast<size_t>(read));
  QString text = CodePage::Decode(QByteArray::fromRawData(bytes, static_cast<qsizetype>(length)));
  text.removeIf([](QChar c) { return c == u'\t' || c == u'\n' || c == u'\r'; });
  line->text = text;
  line->firstByte = bytes[0];
}

bool NextLine(QIODevice &stream, RawLine *line) {
  char buffer[kLineBuffer];
  const qint64 read = stream.readLine(buffer, kLineBuffer);
  if (read <= 0) return false;
  MakeLine(buffer, read, line);
  return true;
}

// The same lines from bytes in memory, without a device's byte-wise reads.
bool NextLine(const QByteArray &bytes, qsizetype *pos, RawLine *line) {
  if (*pos >= bytes.size()) return false;
  const char *start = bytes.constData() + *pos;
  const qsizetype most = qMin<qsizetype>(kLineBuffer - 1, bytes.size() - *pos);
  const void *feed = memchr(start, '\n', static_cast<size_t>(most));
  const qsizetype length = feed ? static_cast<const char *>(feed) - start + 1 : most;
  *pos += length;
  MakeLine(start, length, line);
  return true;
}

QString ValueOfKeyLine(const QString &line, const QString &key) {
  const qsizetype quote = line.indexOf(u'"');
  if (quote >= 0) {
    QString value = line.mid(quote + 1);
    while (value.endsWith(u'"')) value.chop(1);
    return value;
  }
  QString compact = line;
  compact.remove(u' ');
  const qsizetype count = compact.size() - key.size() - 1;
  return count > 0 ? compact.right(count) : QString();
}

// A key line of the section once the header has been passed, exactly as
// FindIniValue judges it: null while the search goes on, an empty text at a
// line that ends the section, else the value.
bool KeyLineVerdict(const RawLine &line, const QString &key, const QString &spaced, const QString &tight,
                    QString *value) {
  if (line.text.isEmpty()) return false;
  if (line.firstByte == '[') {
    *value = QString();
    return true;
  }
  if (line.text.contains(spaced) || line.text.contains(tight)) {
    *value = ValueOfKeyLine(line.text, key);
    return true;
  }
  return false;
}

// The scan of FindIniValue over any source of lines.
template <typename NextFn>
QString ScanForValue(NextFn next, const QString &section, const QString &key) {
  const QString header = u'[' + section + u']';
  const QString spaced = key + QStringLiteral(" =");
  const QString tight = key + u'=';
  bool inSection = false;
  RawLine line;
  QString value;
  while (next(&line)) {
    if (line.text.isEmpty()) continue;
    if (!inSection) {
      inSection = line.text.contains(header);
      continue;
    }
    if (KeyLineVerdict(line, key, spaced, tight, &value)) return value;
  }
  return IniFile::NotFoundMarker();
}

}  // namespace

struct IniFile::CachedFile {
  bool readable = false;
  std::vector<RawLine> lines;
  // Lines that hold a "[" anywhere: the only ones a header can be found in.
  std::vector<qsizetype> bracketLines;
  // Section name -> index of the first line holding its header, -1 for none.
  QHash<QString, qsizetype> headers;

  void Load(const QString &path) {
    QByteArray bytes;
    readable = Device::ReadFile(path, &bytes);
    if (!readable) return;
    // The same line reader as a fresh scan, so that the lines are the same.
    qsizetype pos = 0;
    RawLine line;
    while (NextLine(bytes, &pos, &line)) {
      if (line.text.contains(u'[')) bracketLines.push_back(static_cast<qsizetype>(lines.size()));
      lines.push_back(line);
    }
  }

  qsizetype HeaderLine(const QString &section) {
    const auto known = headers.constFind(section);
    if (known != headers.cend()) return *known;
    const QString header = u'[' + section + u']';
    qsizetype found = -1;
    for (qsizetype index : bracketLines) {
      if (lines[index].text.contains(header)) {
        found = index;
        break;
      }
    }
    headers.insert(section, found);
    return found;
  }

  QString Find(const QString &section, const QString &key) {
    const qsizetype header = HeaderLine(section);
    if (header < 0) return NotFoundMarker();
    const QString spaced = key + QStringLiteral(" =");
    const QString tight = key + u'=';
    QString value;
    for (size_t i = static_cast<size_t>(header) + 1; i < lines.size(); ++i) {
      if (KeyLineVerdict(lines[i], key, spaced, tight, &value)) return value;
    }
    return NotFoundMarker();
  }
};

IniFile::Batch::Batch(IniFile &ini) : m_ini(&ini) { ++m_ini->m_batchDepth; }

IniFile::Batch::~Batch() { End(); }

void IniFile::Batch::End() {
  if (!m_ini) return;
  if (--m_ini->m_batchDepth == 0) m_ini->m_files.clear();
  m_ini = nullptr;
}

const QString &IniFile::NotFoundMarker() {
  static const QString marker(QChar(0xFFFF));
  return marker;
}

bool IniFile::IsOptionalKey(const QString &key) {
  return key.contains(QStringLiteral("SUBMENU_NAME_")) || key.contains(QStringLiteral("FOLDER_NAME")) ||
         key.contains(QStringLiteral("SUBMENU_ICON"));
}

QString IniFile::FindIniValue(QIODevice &stream, const QString &section, const QString &key) {
  return ScanForValue([&stream](RawLine *line) { return NextLine(stream, line); }, section, key);
}

QString IniFile::Lookup(const QString &path, const QString &section, const QString &key) {
  if (m_batchDepth > 0) {
    std::shared_ptr<CachedFile> &file = m_files[path];
    if (!file) {
      file = std::make_shared<CachedFile>();
      file->Load(path);
    }
    if (!file->readable) return QString();
    const QString value = file->Find(section, key);
    return value.isNull() ? QStringLiteral("") : value;
  }
  QByteArray bytes;
  if (!Device::ReadFile(path, &bytes)) return QString();
  qsizetype pos = 0;
  const QString value =
      ScanForValue([&bytes, &pos](RawLine *line) { return NextLine(bytes, &pos, line); }, section, key);
  // A found empty value must stay distinguishable from "cannot read".
  return value.isNull() ? QStringLiteral("") : value;
}

int IniFile::ReadIniInt(const QString &path, const QString &section, const QString &key) {
  if (section.isEmpty() || key.isEmpty()) return 0;
  const QString value = Lookup(path, section, key);
  if (value.isNull()) return 0;
  if (value.isEmpty() || value == NotFoundMarker()) {
    SetLastError(path, section, key);
    return 0;
  }
  return ParseLeadingInt(value);
}

QString IniFile::ReadIniString(const QString &path, const QString &section, const QString &key) {
  if (section.isEmpty() || key.isEmpty()) return QString();
  const QString value = Lookup(path, section, key);
  if (value.isNull()) return QString();
  if (value.isEmpty() || value == NotFoundMarker()) {
    if (!IsOptionalKey(key)) SetLastError(path, section, key);
    return QString();
  }
  return value;
}

QByteArray IniFile::TextBytes(const QString &text) {
  QByteArray bytes = CodePage::Encode(text);
  const qsizetype nul = bytes.indexOf('\0');
  if (nul >= 0) bytes.truncate(nul);
  return bytes;
}

bool IniFile::WriteTextFile(const QString &path, const QString &text) {
  return Device::WriteFileAtomically(path, TextBytes(text));
}

void IniFile::ClearLastError() {
  errorPath.clear();
  errorSection.clear();
  errorKey.clear();
}

void IniFile::SetLastError(const QString &path, const QString &section, const QString &key) {
  errorPath = path;
  errorSection = section;
  errorKey = key;
}

int ParseLeadingInt(const QString &text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' || text[i] == u'\r' ||
                             text[i] == u'\v' || text[i] == u'\f'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  long long value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i].unicode() - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}
