#pragma once
// The installer's own INI reader and writer. Its rules are odd on purpose:
// menu files and descriptors on media in the field were written against them
// (keys matched as substrings, unquoted values losing their spaces, a section
// ending only at a "[" in the first byte of a line), so none may be "fixed".
// Paths are CE paths on the device; the bytes are in the device's code page.
#include <QIODevice>
#include <QString>

class IniFile {
 public:
  // The value FindIniValue gives when the end of the file came first.
  static const QString &NotFoundMarker();
  static bool IsOptionalKey(const QString &key);

  // Scans an open stream from its current position for the key of a section.
  static QString FindIniValue(QIODevice &stream, const QString &section, const QString &key);

  int ReadIniInt(const QString &path, const QString &section, const QString &key);
  QString ReadIniString(const QString &path, const QString &section, const QString &key);
  // Replaces the whole file with the text converted to the code page (up to
  // a first NUL). Written through a temporary file and a rename.
  static bool WriteTextFile(const QString &path, const QString &text);

  // The last required key found missing or empty. Reads never clear it.
  void ClearLastError();
  void SetLastError(const QString &path, const QString &section, const QString &key);
  QString errorPath;
  QString errorSection;
  QString errorKey;

 private:
  // The raw value, the marker, or a null text when the file cannot be read.
  static QString Lookup(const QString &path, const QString &section, const QString &key);
};

// Decimal conversion as the C runtime does it: leading blanks, an optional
// sign, digits up to the first other character; 0 when there are none.
int ParseLeadingInt(const QString &text);
