#pragma once
// Builds what the installer meets on the medium and on the controller: real
// ZIP archives (the one archive builder of the suites), package descriptors
// beside them, menu files, and both sides as after an installation.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

class Sandbox;

// One entry of an archive; its name is stored as these bytes.
struct ZipEntry {
  enum Flag { Utf8 = 1 /* the UTF-8 flag is set */, Folder = 2, Stored = 4, Symlink = 8 /* data: the target */ };
  QByteArray name;
  QByteArray data = "data";
  int flags = 0;
};
// A ZIP made by libzip; empty when libzip refused an entry.
QByteArray MakeZip(const QList<ZipEntry> &entries);
// The files (relative "/" path -> bytes), deflated, names in UTF-8.
QByteArray MakeZip(const QMap<QString, QByteArray> &files);

struct PackageSpec {
  QString name;
  QString version = QStringLiteral("1.00");
  QString folder;  // empty: the name
  QString appType = QStringLiteral("APP_TYPE_OVERLAPPED_EXE");
  bool autoRun = true;
  int topMenuId = 1;
  int sizeKiB = 10;
  QList<QPair<QString, QString>> names;  // (language, sub-menu name)
  QMap<QString, QByteArray> files;       // extra files in the archive, "a/b.txt"

  // A package of this name and version with one resource file,
  // res/<name>.txt, whose text ends with the version.
  static PackageSpec Simple(const QString &name, const QString &version = QStringLiteral("1.00"));
  // Each "Name" or "Name version".
  static QList<PackageSpec> Simple(const QStringList &names);

  QString folderName() const { return folder.isEmpty() ? name : folder; }
  // The archive's files: the executable name.exe plus the extra files.
  QMap<QString, QByteArray> archiveFiles() const;
};

namespace MediumBuilder {

// name.INI and name.ZIP in the CF card's PP_APP folder.
void WritePackage(const Sandbox &box, const PackageSpec &pkg);
// The menu file text the installer writes for these applications, registered in this order.
QByteArray MenuFile(const QList<PackageSpec> &apps);
// hostRoot/PP_APP with PP_MENU.INI and one archive per application: a controller's folder.
void WriteController(const QString &hostRoot, const QList<PackageSpec> &apps);
// Both sides as after an installation of these applications: the controller's
// folder, and the pendant's menu file beside the unpacked archives.
void WriteInstalled(const Sandbox &box, const QString &controllerHostRoot, const QList<PackageSpec> &apps);
// The applications a menu file registers, in its order.
QStringList RegisteredNames(const QByteArray &menuFile);

}  // namespace MediumBuilder
