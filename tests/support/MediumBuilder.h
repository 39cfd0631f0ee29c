#pragma once
// Builds application packages as they come on a medium (descriptor INI plus
// a real ZIP archive) and a controller's application folder (menu file plus
// archives), for tests that run whole installations.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

class Sandbox;

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

  QString folderName() const { return folder.isEmpty() ? name : folder; }
  // The archive's files: the executable name.exe plus the extra files.
  QMap<QString, QByteArray> archiveFiles() const;
};

namespace MediumBuilder {

// A ZIP archive of the given files (deflated), made with libzip.
QByteArray MakeZip(const QMap<QString, QByteArray> &files);

// name.INI and name.ZIP in the medium's PP_APP folder ("\Storage Card\" by default).
void WritePackage(const Sandbox &box, const PackageSpec &pkg,
                  const QString &mediaRoot = QStringLiteral("\\Storage Card\\"));

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
