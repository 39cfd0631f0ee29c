#pragma once
// The installer's own INI reader and writer. Its rules are odd on purpose:
// menu files and descriptors on media in the field were written against them
// (keys matched as substrings, unquoted values losing their spaces, a section
// ending only at a "[" in the first byte of a line), so none may be "fixed".
// Paths are CE paths on the device; the bytes are in the device's code page.
#include <QHash>
#include <QIODevice>
#include <QString>

#include <memory>

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
  // The bytes WriteTextFile writes.
  static QByteArray TextBytes(const QString &text);

  // While a batch is open, each file is read and split into lines once and
  // the place of each section header is remembered, so that n reads cost one
  // pass instead of n. Results and last-error records are exactly those of
  // fresh scans. Open one around a single operation only: a file changed while
  // the batch is open is not seen again until it ends. Batches nest.
  class Batch {
   public:
    explicit Batch(IniFile &ini);
    ~Batch();
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;
    // Ends it early, for example before another operation touches the files.
    void End();

   private:
    IniFile *m_ini;
  };

  // The last required key found missing or empty. Reads never clear it.
  void ClearLastError();
  void SetLastError(const QString &path, const QString &section, const QString &key);
  QString errorPath;
  QString errorSection;
  QString errorKey;

 private:
  struct CachedFile;
  // The raw value, the marker, or a null text when the file cannot be read.
  QString Lookup(const QString &path, const QString &section, const QString &key);

  int m_batchDepth = 0;
  QHash<QString, std::shared_ptr<CachedFile>> m_files;  // by path, only while a batch is open
};

// Decimal conversion as the C runtime does it: leading blanks, an optional
// sign, digits up to the first other character; 0 when there are none.
int ParseLeadingInt(const QString &text);
