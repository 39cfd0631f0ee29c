#include "MediumBuilder.h"

#include "Paths.h"
#include "Sandbox.h"
#include "platform/CodePage.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <sys/stat.h>
#include <zip.h>

QByteArray MakeZip(const QList<ZipEntry> &entries) {
  zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, nullptr);
  zip_t *archive = zip_open_from_source(buffer, ZIP_TRUNCATE, nullptr);
  zip_source_keep(buffer);
  bool refused = false;
  for (const ZipEntry &entry : entries) {
    const zip_flags_t encoding = entry.flags & ZipEntry::Utf8 ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_CP437;
    // libzip reads the bytes at close: they live on in the list.
    zip_source_t *data = zip_source_buffer(archive, entry.data.constData(), zip_uint64_t(entry.data.size()), 0);
    const zip_int64_t index = entry.flags & ZipEntry::Folder ? zip_dir_add(archive, entry.name.constData(), encoding)
                                                             : zip_file_add(archive, entry.name.constData(), data, encoding);
    if (index < 0 || entry.flags & ZipEntry::Folder) zip_source_free(data);
    const zip_int32_t method = entry.flags & ZipEntry::Stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    refused = refused || index < 0 || zip_set_file_compression(archive, zip_uint64_t(index), method, 0) != 0 ||
              (entry.flags & ZipEntry::Symlink &&
               zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16));
  }
  QByteArray bytes;
  if (zip_close(archive) == 0 && !refused && zip_source_open(buffer) == 0) {
    zip_source_seek(buffer, 0, SEEK_END);
    bytes.resize(zip_source_tell(buffer));
    zip_source_seek(buffer, 0, SEEK_SET);
    zip_source_read(buffer, bytes.data(), zip_uint64_t(bytes.size()));
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  return bytes;
}

QByteArray MakeZip(const QMap<QString, QByteArray> &files) {
  QList<ZipEntry> entries;
  for (auto it = files.begin(); it != files.end(); ++it) entries.append({it.key().toUtf8(), it.value(), ZipEntry::Utf8});
  return MakeZip(entries);
}

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

QList<PackageSpec> PackageSpec::Simple(const QStringList &names) {
  QList<PackageSpec> apps;
  for (const QString &text : names) {
    const QStringList parts = text.split(u' ');
    apps.append(Simple(parts[0], parts.value(1, QStringLiteral("1.00"))));
  }
  return apps;
}

namespace MediumBuilder {

void WritePackage(const Sandbox &box, const PackageSpec &pkg) {
  QString ini = QStringLiteral("[APPLICATION_INFO]\r\nAPP_NAME = %1\r\n").arg(pkg.name);
  if (!pkg.folder.isEmpty()) ini += QStringLiteral("FOLDER_NAME = %1\r\n").arg(pkg.folder);
  ini += QStringLiteral("APP_VER = %1\r\nSYS_VER = DS1.00\r\nAPP_TYPE = %2\r\nAUTO_RUN = %3\r\nFILE_SIZE = %4\r\n"
                        "SYS_STATUS = 1\r\n\r\n[MENU_INFO]\r\nTOPMENU_ID = %5\r\n")
             .arg(pkg.version, pkg.appType, pkg.autoRun ? QStringLiteral("TRUE") : QStringLiteral("FALSE"))
             .arg(pkg.sizeKiB)
             .arg(pkg.topMenuId);
  for (const auto &pair : pkg.names) ini += QStringLiteral("SUBMENU_NAME_%1 = \"%2\"\r\n").arg(pair.first, pair.second);
  box.write(kMedium + u'\\' + pkg.name + QStringLiteral(".INI"), CodePage::Encode(ini));
  box.write(kMedium + u'\\' + pkg.name + QStringLiteral(".ZIP"), MakeZip(pkg.archiveFiles()));
}

QByteArray MenuFile(const QList<PackageSpec> &apps) {
  QString text = QStringLiteral("[APPLICATION_INFO]\nVERSION = 1.00\nAPP_NUM = %1\n").arg(apps.size());
  int k = 1;
  for (const PackageSpec &app : apps) {
    text += QStringLiteral("\n[APPLICATION_INFO%1]\nAPP_NAME = %2\nTOPMENU_ID = %3\n").arg(k++).arg(app.name).arg(app.topMenuId);
    text += QStringLiteral("APP_PATH = \"PP_APP\\%1\\%2.exe\"\nSUBMENU_ICONPATH = \"\"\n").arg(app.folderName(), app.name);
    text += QStringLiteral("APP_VER = %1\nNS_VER = NS1.00\nFILE_SIZE = %2\nAPP_TYPE = %3\nSYS_STATUS = 0x01\n")
                .arg(app.version)
                .arg(app.sizeKiB)
                .arg(app.appType);
    text += QStringLiteral("AUTO_RUN = FALSE\nONE-TOUCH_RUN = FALSE\n");
    for (const auto &pair : app.names) text += QStringLiteral("SUBMENU_NAME_%1 = \"%2\"\n").arg(pair.first, pair.second);
  }
  return CodePage::Encode(text);
}

void WriteController(const QString &hostRoot, const QList<PackageSpec> &apps) {
  const QString folder = hostRoot + QStringLiteral("/PP_APP/");
  QDir().mkpath(folder);
  auto write = [](const QString &path, const QByteArray &bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
  };
  write(folder + QStringLiteral("PP_MENU.INI"), MenuFile(apps));
  for (const PackageSpec &app : apps) write(folder + app.name + QStringLiteral(".ZIP"), MakeZip(app.archiveFiles()));
}

void WriteInstalled(const Sandbox &box, const QString &controllerHostRoot, const QList<PackageSpec> &apps) {
  WriteController(controllerHostRoot, apps);
  box.write(kPendantMenu, MenuFile(apps));
  for (const PackageSpec &app : apps) {
    const QMap<QString, QByteArray> files = app.archiveFiles();
    for (auto it = files.begin(); it != files.end(); ++it)
      box.write(kPendant + u'\\' + app.folderName() + u'\\' + QString(it.key()).replace(u'/', u'\\'), it.value());
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
