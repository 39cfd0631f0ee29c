#pragma once
// Packages on the removable medium, in its folder PP_APP: one descriptor
// name.INI beside each archive name.ZIP, and the install list PP_INSTALL.INI
// that preselects packages. Pure reads: nothing here reports or changes a
// file.
#include "files/AppEntry.h"
#include "files/IniFile.h"

#include <QList>
#include <QStringList>
#include <optional>

namespace PackageFiles {

inline const QString kFolder = QStringLiteral("PP_APP");
inline const QString kInstallList = QStringLiteral("PP_INSTALL.INI");
inline const QString kListSection = QStringLiteral("DefaultSetting");
inline constexpr int kMaxListed = 32;

// "<mediumRoot>PP_APP" and "<mediumRoot>PP_APP\<fileName>"; mediumRoot ends
// in a backslash.
QString FolderOf(const QString &mediumRoot);
QString PathOf(const QString &mediumRoot, const QString &fileName);
// The medium's file can be opened for reading.
bool Exists(const QString &mediumRoot, const QString &fileName);
// The pattern the descriptors are looked up with: "<mediumRoot>PP_APP\*.INI".
QString DescriptorPattern(const QString &mediumRoot);

struct Descriptor {
  // nullopt when a name, folder or icon in it was refused before anything
  // was read; otherwise what was read, complete or not.
  std::optional<AppRecord> record;
  bool complete = false;
};
// The descriptor of the named package. The last-error record of ini names
// the key that failed.
Descriptor ReadDescriptor(IniFile &ini, const QString &mediumRoot, const QString &name);

// The packages' descriptors in the order they are enumerated, each with its
// place in the enumeration (the pendant's own files, and descriptors without
// an archive, are passed over); nullopt when the medium has no *.INI at all.
struct Listed {
  qsizetype index = 0;
  QString name;
};
std::optional<QList<Listed>> Descriptors(const QString &mediumRoot);

// The names the install list preselects, in order, at most 32; listed is
// false when there is no list or it names nothing. badKey names the first
// entry that is missing or path-like: the names before it are in names.
// The last-error record is left as it was.
struct InstallList {
  bool listed = false;
  QStringList names;
  QString badKey;
};
InstallList ReadInstallList(IniFile &ini, const QString &mediumRoot);

}  // namespace PackageFiles
