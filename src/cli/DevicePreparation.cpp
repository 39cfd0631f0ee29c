#include "DevicePreparation.h"

#include "platform/Device.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

QString BuiltExtractionLibrary() {
  const QString configured = qEnvironmentVariable("PP_UNZIP_LIBRARY");
  if (!configured.isEmpty()) return configured;
  const QString installed =
      QCoreApplication::applicationDirPath() + QStringLiteral("/../" PP_UNZIP_INSTALL_RELATIVE);
  if (QFileInfo::exists(installed)) return QDir::cleanPath(installed);
  return QStringLiteral(PP_UNZIP_BUILD_PATH);
}

QString DeviceExtractionLibraryHostPath() {
  return Device::MapPath(QStringLiteral("\\DiskOnChip\\unzip.dll")).value_or(QString());
}

bool PrepareDevice(QString *error) {
  const QString library = BuiltExtractionLibrary();
  if (!QFileInfo(library).isFile()) {
    *error = QStringLiteral("the extraction library \"%1\" was not found (set PP_UNZIP_LIBRARY)").arg(library);
    return false;
  }
  const QString disk = Device::MapPath(QStringLiteral("\\DiskOnChip")).value_or(QString());
  if (disk.isEmpty() || !QDir().mkpath(disk)) {
    *error = QStringLiteral("cannot create DiskOnChip under the device root");
    return false;
  }
  const QString target = DeviceExtractionLibraryHostPath();
  QFile::remove(target);
  if (!QFile::copy(library, target)) {
    *error = QStringLiteral("cannot copy \"%1\" to \"%2\"").arg(library, target);
    return false;
  }
  return true;
}
