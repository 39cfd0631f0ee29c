// The INI reader on arbitrary bytes: the stream scan and the typed reads.
#include "files/IniFile.h"
#include "platform/Device.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static QTemporaryDir root;
  static bool ready = [] {
    Device::SetRoot(root.path());
    return QDir(root.path()).mkpath(QStringLiteral("DiskOnChip"));
  }();
  (void)ready;
  QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

  static const char *keys[][2] = {{"APPLICATION_INFO", "APP_NUM"},     {"APPLICATION_INFO1", "APP_NAME"},
                                  {"MENU_INFO", "SUBMENU_NAME_JAPANESE"}, {"S", "K"},
                                  {"APPLICATION_INFO", "APP_NAME"}};
  for (const auto &pair : keys) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const QString value = IniFile::FindIniValue(buffer, QString::fromLatin1(pair[0]), QString::fromLatin1(pair[1]));
    if (value.size() > 512) __builtin_trap();  // one line never yields more
  }

  QFile file(root.path() + QStringLiteral("/DiskOnChip/f.ini"));
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    file.write(bytes);
    file.close();
  }
  IniFile ini;
  ini.ReadIniInt(QStringLiteral("\\DiskOnChip\\f.ini"), QStringLiteral("APPLICATION_INFO"), QStringLiteral("APP_NUM"));
  ini.ReadIniString(QStringLiteral("\\DiskOnChip\\f.ini"), QStringLiteral("S"), QStringLiteral("K"));
  return 0;
}
