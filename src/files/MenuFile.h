#pragma once
// The menu file PP_MENU.INI, read and composed. It registers up to 32
// applications in numbered sections [APPLICATION_INFO1] ...; pendant and
// controller hold the same file. Pure functions: nothing here reports,
// deletes or sends.
#include "files/AppEntry.h"
#include "files/IniFile.h"

#include <QList>
#include <QStringList>
#include <optional>
#include <vector>

namespace MenuFile {

inline const QString kFileName = QStringLiteral("PP_MENU.INI");
inline constexpr int kMaxApplications = 32;

struct Reading {
  enum class Result {
    Read,               // entries hold the registered applications
    Absent,             // no menu file: nothing is registered
    BadCount,           // APP_NUM is not 1 to 32
    FormatError,        // a section is missing, incomplete or names a path
    MissingExecutable,  // an application's executable is not on the pendant
  };
  Result result = Result::Read;
  std::vector<AppEntry> entries;
  // The applications whose sections were read, in order, the one that
  // failed included once its name was accepted.
  QStringList sectionsRead;
  // With leaveOut, applications whose folder is unusable or shared, or whose
  // executable is missing, are passed over and named here instead of making
  // the file damaged.
  bool leaveOut = false;
  QStringList leftOut;
};

// Reads the menu file at path. APP_PATH values are relative to diskRoot
// ("\DiskOnChip\"), where the executables must exist. The last-error record
// of ini says which key failed.
Reading Read(IniFile &ini, const QString &path, const QString &diskRoot, bool leaveOut = false);

// The text of the menu file for the registered entries, numbered in list
// order. An entry marked Add is written with its package record; one still
// marked Remove (a removal that failed and was passed over) with nothing but
// its name and its sub-menu names.
QString Compose(const std::vector<AppEntry> &entries, const QString &version);

// The sum of FILE_SIZE over the registered applications (KiB); nullopt when
// APP_NUM is missing or below 1.
std::optional<int> SumRegisteredFileSizes(IniFile &ini, const QString &path);

// The applications in the order the file lists them, up to the first section
// without a name, each with the folder its APP_PATH gives.
struct Registration {
  QString name;
  QString folder;
};
QList<Registration> Registrations(IniFile &ini, const QString &path);

// APP_PATH is "PP_APP\<folder>\<name>.exe" below the pendant's disk; the
// folder is what lies between, counted rather than parsed, and empty when the
// count is not positive.
QString FolderFromAppPath(const QString &appPath, const QString &name);

// SYS_STATUS as written ("0x%02x") is hexadecimal, anything else decimal.
int ParseStatusValue(const QString &text);

// The sub-menu names of a section in the language table's order, packed
// into the first free pairs.
void ReadSubmenuNames(IniFile &ini, const QString &path, const QString &section, SubMenuNames &pairs);

}  // namespace MenuFile
