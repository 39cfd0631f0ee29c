#include "IniFile.h"

#include "platform/CodePage.h"
#include "platform/Device.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <cstring>

namespace {

// Lines are read as fgets reads them into a 512-byte buffer: at most 511
// bytes at a time, so a longer physical line continues as a new line.
constexpr qint64 kLineBuffer = 512;

struct RawLine {
  QString text;       // after removing tabs, CR and LF
  char firstByte = 0;  // the first byte as read
};

bool NextLine(QIODevice &stream, RawLine *line) {
  char buffer[kLineBuffer];
  const qint64 read = stream.readLine(buffer, kLineBuffer);
  if (read <= 0) return false;
  // Conversion stops at a NUL byte, as the platform's does.
  const size_t length = strnlen(buffer, static_cast<size_t>(read));
  QString text = CodePage::Decode(QByteArray(buffer, static_cast<qsizetype>(length)));
  text.removeIf([](QChar c) { return c == u'\t' || c == u'\n' || c == u'\r'; });
  line->text = text;
  line->firstByte = buffer[0];
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

}  // namespace

const QString &IniFile::NotFoundMarker() {
  static const QString marker(QChar(0xFFFF));
  return marker;
}

bool IniFile::IsOptionalKey(const QString &key) {
  return key.contains(QStringLiteral("SUBMENU_NAME_")) || key.contains(QStringLiteral("FOLDER_NAME")) ||
         key.contains(QStringLiteral("SUBMENU_ICON"));
}

QString IniFile::FindIniValue(QIODevice &stream, const QString &section, const QString &key) {
  const QString header = u'[' + section + u']';
  const QString spaced = key + QStringLiteral(" =");
  const QString tight = key + u'=';
  bool inSection = false;
  RawLine line;
  while (NextLine(stream, &line)) {
    if (line.text.isEmpty()) continue;
    if (!inSection) {
      inSection = line.text.contains(header);
      continue;
    }
    if (line.firstByte == '[') return QString();
    if (line.text.contains(spaced) || line.text.contains(tight)) return ValueOfKeyLine(line.text, key);
  }
  return NotFoundMarker();
}

QString IniFile::Lookup(const QString &path, const QString &section, const QString &key) {
  QByteArray bytes;
  if (!Device::ReadFile(path, &bytes)) return QString();
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  const QString value = FindIniValue(buffer, section, key);
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

bool IniFile::WriteTextFile(const QString &path, const QString &text) {
  QByteArray bytes = CodePage::Encode(text);
  const qsizetype nul = bytes.indexOf('\0');
  if (nul >= 0) bytes.truncate(nul);
  return Device::WriteFileAtomically(path, bytes);
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
