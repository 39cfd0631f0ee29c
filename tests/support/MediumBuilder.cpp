#include "MediumBuilder.h"

#include "Sandbox.h"
#include "platform/CodePage.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <zip.h>

QMap<QString, QByteArray> PackageSpec::archiveFiles() const {
  QMap<QString, QByteArray> all = files;
  all.insert(name + QStringLiteral(".exe"), "MZ stand-in for " + name.toUtf8());
  return all;
}

PackageSpec PackageSpec::Simple(const QString &name, const QString &version) {
  PackageSpec pkg;
  pkg.name = name;
  pkg.version = version;
  pkg.names = {{QStringLiteral("ENGLISH"), name}};
  pkg.files = {{QStringLiteral("res/") + name + QStringLiteral(".txt"),
                "resource of " + name.toUtf8() + ' ' + version.toUtf8()}};
  return pkg;
}

namespace MediumBuilder {

QByteArray MakeZip(const QMap<QString, QByteArray> &files) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_t *archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  zip_source_keep(buffer);
  for (auto it = files.begin(); it != files.end(); ++it) {
    // libzip copies nothing until close: keep the bytes alive in the map.
    zip_source_t *data = zip_source_buffer(archive, it.value().constData(), it.value().size(), 0);
    zip_file_add(archive, it.key().toUtf8().constData(), data, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
  }
  zip_close(archive);
  QByteArray bytes;
  if (zip_source_open(buffer) == 0) {
    zip_source_seek(buffer, 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(buffer);
    zip_source_seek(buffer, 0, SEEK_SET);
    bytes.resize(size);
    zip_source_read(buffer, bytes.data(), size);
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  zip_error_fini(&error);
  return bytes;
}

void WritePackage(const Sandbox &box, const PackageSpec &pkg, const QString &mediaRoot) {
  QString ini = QStringLiteral("[APPLICATION_INFO]\r\nAPP_NAME = %1\r\n").arg(pkg.name);
  if (!pkg.folder.isEmpty()) ini += QStringLiteral("FOLDER_NAME = %1\r\n").arg(pkg.folder);
  ini += QStringLiteral("APP_VER = %1\r\nSYS_VER = DS1.00\r\nAPP_TYPE = %2\r\nAUTO_RUN = %3\r\nFILE_SIZE = %4\r\n"
                        "SYS_STATUS = 1\r\n\r\n[MENU_INFO]\r\nTOPMENU_ID = %5\r\n")
             .arg(pkg.version, pkg.appType, pkg.autoRun ? QStringLiteral("TRUE") : QStringLiteral("FALSE"))
             .arg(pkg.sizeKiB)
             .arg(pkg.topMenuId);
  for (const auto &pair : pkg.names) ini += QStringLiteral("SUBMENU_NAME_%1 = \"%2\"\r\n").arg(pair.first, pair.second);
  const QString folder = mediaRoot + QStringLiteral("PP_APP\\");
  box.write(folder + pkg.name + QStringLiteral(".INI"), CodePage::Encode(ini));
  box.write(folder + pkg.name + QStringLiteral(".ZIP"), MakeZip(pkg.archiveFiles()));
}

QByteArray MenuFile(const QList<PackageSpec> &apps) {
  QString text = QStringLiteral("[APPLICATION_INFO]\nVERSION = 1.00\nAPP_NUM = %1\n").arg(apps.size());
  int k = 1;
  for (const PackageSpec &app : apps) {
    text += QStringLiteral("\n[APPLICATION_INFO%1]\nAPP_NAME = %2\nTOPMENU_ID = %3\n")
                .arg(k++)
                .arg(app.name)
                .arg(app.topMenuId);
    text += QStringLiteral("APP_PATH = \"PP_APP\\%1\\%2.exe\"\nSUBMENU_ICONPATH = \"\"\n").arg(app.folderName(), app.name);
    text += QStringLiteral("APP_VER = %1\nNS_VER = NS1.00\nFILE_SIZE = %2\nAPP_TYPE = %3\nSYS_STATUS = 0x01\n")
                .arg(app.version)
                .arg(app.sizeKiB)
                .arg(app.appType);
    text += QStringLiteral("AUTO_RUN = FALSE\nONE-TOUCH_RUN = FALSE\n");
    for (const auto &pair : app.names)
      text += QStringLiteral("SUBMENU_NAME_%1 = \"%2\"\n").arg(pair.first, pair.second);
  }
  return CodePage::Encode(text);
}

void WriteController(const QString &hostRoot, const QList<PackageSpec> &apps) {
  const QString folder = hostRoot + QStringLiteral("/PP_APP");
  QDir().mkpath(folder);
  auto write = [](const QString &path, const QByteArray &bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
  };
  write(folder + QStringLiteral("/PP_MENU.INI"), MenuFile(apps));
  for (const PackageSpec &app : apps) write(folder + u'/' + app.name + QStringLiteral(".ZIP"), MakeZip(app.archiveFiles()));
}

void WriteInstalled(const Sandbox &box, const QString &controllerHostRoot, const QList<PackageSpec> &apps) {
  WriteController(controllerHostRoot, apps);
  const QString pendant = QStringLiteral("\\DiskOnChip\\PP_APP\\");
  box.write(pendant + QStringLiteral("PP_MENU.INI"), MenuFile(apps));
  for (const PackageSpec &app : apps) {
    const QMap<QString, QByteArray> files = app.archiveFiles();
    for (auto it = files.begin(); it != files.end(); ++it)
      box.write(pendant + app.folderName() + u'\\' + QString(it.key()).replace(u'/', u'\\'), it.value());
  }
}

QStringList RegisteredNames(const QByteArray &menuFile) {
  static const QRegularExpression name(QStringLiteral("^APP_NAME = (.*)$"), QRegularExpression::MultilineOption);
  QStringList names;
  auto it = name.globalMatch(CodePage::Decode(menuFile));
  while (it.hasNext()) names.append(it.next().captured(1));
  return names;
}

}  // namespace MediumBuilder
