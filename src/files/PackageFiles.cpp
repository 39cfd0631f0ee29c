#include "PackageFiles.h"

#include "files/MenuFile.h"
#include "files/NameRules.h"
#include "platform/Device.h"

namespace PackageFiles {
namespace {

const QString kInfoSection = QStringLiteral("APPLICATION_INFO");
const QString kMenuSection = QStringLiteral("MENU_INFO");

}  // namespace

QString FolderOf(const QString &mediumRoot) { return mediumRoot + kFolder; }

QString PathOf(const QString &mediumRoot, const QString &fileName) {
  return QStringLiteral("%1%2\\%3").arg(mediumRoot, kFolder, fileName);
}

bool Exists(const QString &mediumRoot, const QString &fileName) {
  return Device::CanOpenForRead(PathOf(mediumRoot, fileName));
}

QString DescriptorPattern(const QString &mediumRoot) { return PathOf(mediumRoot, QStringLiteral("*.INI")); }

Descriptor ReadDescriptor(IniFile &ini, const QString &mediumRoot, const QString &name) {
  const QString path = PathOf(mediumRoot, name + QStringLiteral(".INI"));
  IniFile::Batch batch(ini);
  Descriptor result;

  const QString appName = ini.ReadIniString(path, kInfoSection, QStringLiteral("APP_NAME"));
  if (appName.isEmpty() || appName != name || !IsSafePathName(appName)) {
    ini.SetLastError(path, kInfoSection, QStringLiteral("APP_NAME"));
    return result;
  }
  // Folder and icon become paths on the pendant: a path-like value stops here
  // as a format error of the descriptor, before anything is stored.
  QString folder = ini.ReadIniString(path, kInfoSection, QStringLiteral("FOLDER_NAME"));
  if (folder.isEmpty()) folder = appName;
  if (!IsUsableFolderName(folder)) {
    ini.SetLastError(path, kInfoSection, QStringLiteral("FOLDER_NAME"));
    return result;
  }

  AppRecord record;
  record.appVersion = ini.ReadIniString(path, kInfoSection, QStringLiteral("APP_VER"));
  {
    // SYS_VER is optional although its name does not say so: keep the record
    // as it was when it is absent.
    const QString keptPath = ini.errorPath, keptSection = ini.errorSection, keptKey = ini.errorKey;
    record.systemVersion = ini.ReadIniString(path, kInfoSection, QStringLiteral("SYS_VER"));
    if (record.systemVersion.isEmpty()) ini.SetLastError(keptPath, keptSection, keptKey);
  }
  if (record.systemVersion.isEmpty()) {
    record.systemVersion = ini.ReadIniString(path, kInfoSection, QStringLiteral("NS_VER"));
  } else {
    // Older packages name the system "DS"; the pendant's menu says "NS".
    const qsizetype ds = record.systemVersion.indexOf(QStringLiteral("DS"));
    if (ds >= 0) record.systemVersion[ds] = u'N';
  }
  record.appType = ini.ReadIniString(path, kInfoSection, QStringLiteral("APP_TYPE"));
  record.autoRunCapable = ini.ReadIniString(path, kInfoSection, QStringLiteral("AUTO_RUN")) == u"TRUE" ? 1 : 0;
  record.fileSize = ini.ReadIniInt(path, kInfoSection, QStringLiteral("FILE_SIZE"));
  // A negative size would make room on the pendant that is not there.
  if (record.fileSize < 0) ini.SetLastError(path, kInfoSection, QStringLiteral("FILE_SIZE"));
  record.sysStatus = ini.ReadIniInt(path, kInfoSection, QStringLiteral("SYS_STATUS"));

  record.topMenuId = ini.ReadIniInt(path, kMenuSection, QStringLiteral("TOPMENU_ID"));
  record.folder = folder;
  record.appPath = QStringLiteral("%1\\%2\\%3.exe").arg(kFolder, folder, appName);
  const QString icon = ini.ReadIniString(path, kMenuSection, QStringLiteral("SUBMENU_ICON"));
  if (!IsSafePathName(icon)) {
    ini.SetLastError(path, kMenuSection, QStringLiteral("SUBMENU_ICON"));
    return result;
  }
  if (!icon.isEmpty()) record.iconPath = QStringLiteral("%1\\%2\\%3").arg(kFolder, folder, icon);
  MenuFile::ReadSubmenuNames(ini, path, kMenuSection, record.subMenuNames);

  result.record = record;
  result.complete = ini.errorKey.isEmpty();
  return result;
}

std::optional<QList<Listed>> Descriptors(const QString &mediumRoot) {
  QList<Device::FindData> found = Device::FindFiles(DescriptorPattern(mediumRoot));
  found.removeIf([](const Device::FindData &file) { return file.directory; });
  if (found.isEmpty()) return std::nullopt;
  QList<Listed> listed;
  for (qsizetype index = 0; index < found.size(); ++index) {
    const QString &fileName = found[index].name;
    if (fileName == u"PP_MENU.INI" || fileName == u"PP_INSTALL.INI") continue;
    const QString name = fileName.left(fileName.size() - 4);
    if (name == u"pp_install") continue;
    if (!Exists(mediumRoot, name + QStringLiteral(".ZIP"))) continue;  // a descriptor without its archive
    listed.append({index, name});
  }
  return listed;
}

InstallList ReadInstallList(IniFile &ini, const QString &mediumRoot) {
  InstallList list;
  const QString path = PathOf(mediumRoot, kInstallList);
  if (!Device::CanOpenForRead(path)) return list;
  IniFile::Batch batch(ini);
  // The names are read ahead of their descriptors: a missing key must not
  // stand in the last-error record while those are read.
  const QString keptPath = ini.errorPath, keptSection = ini.errorSection, keptKey = ini.errorKey;
  const int count = qMin(ini.ReadIniInt(path, kListSection, QStringLiteral("APP_NUM")), kMaxListed);
  list.listed = count >= 1;
  for (int i = 1; i <= count; ++i) {
    const QString key = QStringLiteral("APP_NAME%1").arg(i);
    const QString name = ini.ReadIniString(path, kListSection, key);
    if (name.isEmpty() || !IsSafePathName(name)) {
      list.badKey = key;
      break;
    }
    list.names.append(name);
  }
  ini.SetLastError(keptPath, keptSection, keptKey);
  return list;
}

}  // namespace PackageFiles
