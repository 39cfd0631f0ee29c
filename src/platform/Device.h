#pragma once
// The pendant's file system as the installer sees it: Windows CE paths such as
// "\DiskOnChip\PP_APP" or "\Storage Card\PP_APP\*.INI", mapped under one host
// folder, the device root. Every component is resolved case-insensitively and
// keeps its case, as on the FAT volumes of the pendant and its media. A path
// that would leave the device root is refused: it behaves as "not found".
//
// The settings live in the process environment (PP_DEVICE_ROOT,
// PP_FREE_SPACE_BYTES, PP_FLASH_BYTES) so that the extraction library, which
// is loaded into the process with its own copy of this code, sees the same
// device.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace Device {

// The device root folder on the host. SetRoot makes it absolute.
void SetRoot(const QString &hostDir);
QString Root();

// Host path for a CE path, or nullopt when the path is refused (no root
// configured, ".." or a drive letter among its components) . Components that
// do not exist yet keep the case they were given.
std::optional<QString> MapPath(const QString &cePath);
// The CE path of a host path below the device root ("\Storage Card\x.exe"),
// or an empty text when it lies outside.
QString ToCePath(const QString &hostPath);
// The CE path of this program's own executable (empty outside the root).
QString ModuleCePath();

// Splits a CE path into its components; both "\" and "/" separate.
QStringList SplitComponents(const QString &cePath);
// True when the components of a name could never leave a folder: no "..",
// no drive letter, no absolute part.
bool IsContainedRelativePath(const QString &relative);

struct FindData {
  QString name;
  bool directory = false;
  qint64 size = 0;
};
// Enumerates a folder with a wildcard pattern in its last component
// ("*.INI", "*"), case-insensitively. Never lists "." or "..". Sorted by name
// so that every run sees the same order.
QList<FindData> FindFiles(const QString &cePattern);

bool Exists(const QString &cePath);
bool IsDirectory(const QString &cePath);
bool IsFile(const QString &cePath);
// Opens and closes the file again: can it be read?
bool CanOpenForRead(const QString &cePath);
bool ReadFile(const QString &cePath, QByteArray *data);
// Replaces a file through a temporary file in the same folder, flushed to
// disk and renamed into place, so that a power loss leaves the old file or the
// new one, never a truncated one.
bool WriteFileAtomically(const QString &cePath, const QByteArray &data);

// Writes everything still cached for the volume that holds the path to the
// medium (data and names). False when the path is refused or the flush fails.
bool FlushVolume(const QString &cePath);

bool CreateDirectory(const QString &cePath);  // one level; fails when it exists
bool RemoveDirectory(const QString &cePath);  // only an empty folder
bool DeleteFile(const QString &cePath);       // plain files only
// Copies a file; with failIfExists an existing target makes it fail.
bool CopyFile(const QString &from, const QString &to, bool failIfExists);
// Renames a file or folder on the same volume in one step; fails when the
// target exists. The rename is flushed before it returns, unless the caller
// flushes the target's folder itself after several (flushNow false).
bool MoveFile(const QString &from, const QString &to, bool flushNow = true);

// Every change to the device's files and the controller's folder passes
// here once it is done. Crash tests set PP_TEST_CRASH_AFTER=N to end the
// process without any clean-up right after the Nth change, as a power cut
// would.
void ChangeDone();

// Bytes free to the caller on the volume that holds the path (or would hold
// it, when it does not exist yet); -1 when the query fails.
qint64 FreeBytes(const QString &cePath);
// Tests and service work may pretend a volume size: bytes >= 0 sets it for
// every volume of the device, a negative value removes the override.
void SetFreeBytesOverride(qint64 bytes);
// A flash disk of this many bytes on \DiskOnChip (a demo or service device
// on a large host disk): its free bytes are the size less what the files
// below DiskOnChip take, never more than the host volume has; bytes < 0
// removes the setting. The override above wins over it.
void SetFlashBytes(qint64 bytes);

}  // namespace Device
