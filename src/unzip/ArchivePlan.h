#pragma once
// What an archive would write, worked out from its central directory before a
// single byte is written: every entry's place under the destination, checked
// against everything a FAT volume could not hold or a hostile archive might
// try (leaving the folder, links, names that FAT takes for one: those that
// differ in case or in trailing dots and blanks).
#include <zip.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <ctime>
#include <optional>

struct PlannedFile {
  zip_uint64_t index = 0;
  // "/"-separated, with the spelling of the first entry that named each
  // folder, trailing dots and blanks dropped as FAT drops them.
  QString relative;
  zip_uint64_t size = 0;
  std::optional<time_t> modified;
  // As the central directory gives them; the data is checked against them.
  zip_int32_t method = ZIP_CM_STORE;
  std::optional<zip_uint64_t> compressedSize;
  std::optional<zip_uint32_t> crc;
};

struct ArchivePlan {
  QStringList folders;  // parents before their children
  QList<PlannedFile> files;
  zip_uint64_t totalBytes = 0;
};

// The entry name as text: UTF-8 when the archive says so (or carries a
// Unicode name field), otherwise the device code page, as Windows tools write.
QString DecodeEntryName(zip_t *archive, zip_uint64_t index);

// nullopt and a reason in *why when any entry is unacceptable: the archive
// is then refused as a whole.
std::optional<ArchivePlan> PlanExtraction(zip_t *archive, QString *why);
