#include "UnzipLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "Sandbox.h"

QString BuiltUnzipLibrary(UnzipVariant variant) {
  return QString::fromUtf8(variant == UnzipVariant::Complete ? PP_UNZIP_LIBRARY : PP_UNZIP_NOVERSION_LIBRARY);
}

bool InstallUnzipLibrary(const Sandbox &box, UnzipVariant variant) {
  const QString target = box.host(QStringLiteral("\\DiskOnChip\\unzip.dll"));
  QDir().mkpath(QFileInfo(target).absolutePath());
  if (QFileInfo::exists(target) && !QFile::remove(target)) return false;
  return QFile::copy(BuiltUnzipLibrary(variant), target);
}
