// Packages on the removable medium: the install list PP_INSTALL.INI and one
// descriptor name.INI beside each archive name.ZIP in the medium's PP_APP.
#include "app/InstallerEngine.h"
#include "app/StringTable.h"
#include "files/NameRules.h"
#include "platform/Device.h"

#include <new>

namespace {

const QString kMediumFolder = QStringLiteral("PP_APP");
const QString kInfoSection = QStringLiteral("APPLICATION_INFO");
const QString kMenuSection = QStringLiteral("MENU_INFO");
const QString kListSection = QStringLiteral("DefaultSetting");
const QString kListFile = QStringLiteral("PP_INSTALL.INI");
// U+3000, the ideographic space the pendant puts before "section:".
const QString kWideSpace = QString(QChar(0x3000));

}  // namespace

int InstallerEngine::PackageFileExists(const QString &fileName) {
  return Device::CanOpenForRead(QStringLiteral("%1%2\\%3").arg(m_strMediaRoot, kMediumFolder, fileName)) ? 1 : 0;
}

int InstallerEngine::ReadPackageDescriptor(AppEntry *entry) {
  if (!entry) return 0;
  const QString path = QStringLiteral("%1%2\\%3.%4").arg(m_strMediaRoot, kMediumFolder, entry->name, u"INI");
  IniFile::Batch batch(m_ini);

  const QString appName = m_ini.ReadIniString(path, kInfoSection, QStringLiteral("APP_NAME"));
  if (appName.isEmpty() || appName != entry->name || !IsSafePathName(appName)) {
    m_ini.SetLastError(path, kInfoSection, QStringLiteral("APP_NAME"));
    return 0;
  }
  // Folder and icon become paths on the pendant: a path-like value stops here
  // as a format error of the descriptor, before anything is stored.
  QString folder = m_ini.ReadIniString(path, kInfoSection, QStringLiteral("FOLDER_NAME"));
  if (!IsSafePathName(folder)) {
    m_ini.SetLastError(path, kInfoSection, QStringLiteral("FOLDER_NAME"));
    return 0;
  }
  if (folder.isEmpty()) folder = appName;

  AppRecord record;
  record.appVersion = m_ini.ReadIniString(path, kInfoSection, QStringLiteral("APP_VER"));
  {
    // SYS_VER is optional although its name does not say so: keep the record
    // as it was when it is absent.
    const QString keptPath = m_ini.errorPath, keptSection = m_ini.errorSection, keptKey = m_ini.errorKey;
    record.systemVersion = m_ini.ReadIniString(path, kInfoSection, QStringLiteral("SYS_VER"));
    if (record.systemVersion.isEmpty()) m_ini.SetLastError(keptPath, keptSection, keptKey);
  }
  if (record.systemVersion.isEmpty()) {
    record.systemVersion = m_ini.ReadIniString(path, kInfoSection, QStringLiteral("NS_VER"));
  } else {
    // Older packages name the system "DS"; the pendant's menu says "NS".
    const qsizetype ds = record.systemVersion.indexOf(QStringLiteral("DS"));
    if (ds >= 0) record.systemVersion[ds] = u'N';
  }
  record.appType = m_ini.ReadIniString(path, kInfoSection, QStringLiteral("APP_TYPE"));
  record.autoRunCapable = m_ini.ReadIniString(path, kInfoSection, QStringLiteral("AUTO_RUN")) == u"TRUE" ? 1 : 0;
  record.fileSize = m_ini.ReadIniInt(path, kInfoSection, QStringLiteral("FILE_SIZE"));
  record.sysStatus = m_ini.ReadIniInt(path, kInfoSection, QStringLiteral("SYS_STATUS"));

  record.topMenuId = m_ini.ReadIniInt(path, kMenuSection, QStringLiteral("TOPMENU_ID"));
  record.folder = folder;
  record.appPath = QStringLiteral("%1\\%2\\%3.exe").arg(kMediumFolder, folder, appName);
  const QString icon = m_ini.ReadIniString(path, kMenuSection, QStringLiteral("SUBMENU_ICON"));
  if (!IsSafePathName(icon)) {
    m_ini.SetLastError(path, kMenuSection, QStringLiteral("SUBMENU_ICON"));
    return 0;
  }
  if (!icon.isEmpty()) record.iconPath = QStringLiteral("%1\\%2\\%3").arg(kMediumFolder, folder, icon);
  ReadSubmenuNames(path, kMenuSection, record.subMenuNames);

  entry->package = record;
  return m_ini.errorKey.isEmpty() ? 1 : 0;
}

int InstallerEngine::ReadInstallDescriptor() {
  m_strDetail.clear();
  m_ini.ClearLastError();
  const QString listPath = QStringLiteral("%1%2\\%3").arg(m_strMediaRoot, kMediumFolder, kListFile);
  if (!Device::CanOpenForRead(listPath)) return 1;  // nothing preselected

  IniFile::Batch batch(m_ini);
  // The list failure names the list, the descriptor failure the package's
  // descriptor; the short form (for a package not yet in the list) omits the
  // section and key from the detail.
  auto formatFailure = [&](const QString &statusFile, const QString &detailFile, bool shortForm) {
    m_strStatus = LoadString(3009);
    ShowStatus(0, QStringLiteral("%1 %2 (section:%3 entry:%4)")
                      .arg(m_strStatus, statusFile, m_ini.errorSection, m_ini.errorKey));
    m_strDetail = shortForm ? QStringLiteral("error file :(%1)").arg(detailFile)
                            : QStringLiteral("error file :(%1)%2section:%3 entry:%4")
                                  .arg(detailFile, kWideSpace, m_ini.errorSection, m_ini.errorKey);
    m_alert.ShowAlert(2009, m_strDetail);
    return 0;
  };

  int count = m_ini.ReadIniInt(listPath, kListSection, QStringLiteral("APP_NUM"));
  if (count < 1) return 1;
  if (count > 32) count = 32;

  for (int i = 1; i <= count; ++i) {
    const QString key = QStringLiteral("APP_NAME%1").arg(i);
    const QString name = m_ini.ReadIniString(listPath, kListSection, key);
    if (name.isEmpty() || !IsSafePathName(name)) {
      m_ini.SetLastError(listPath, kListSection, key);
      return formatFailure(kListFile, kListFile, false);
    }
    if (!PackageFileExists(name + QStringLiteral(".INI")) || !PackageFileExists(name + QStringLiteral(".ZIP"))) {
      Report(0, LoadString(3013), 2013, QStringLiteral("error file :(%1)").arg(name));
      return 0;
    }
    const QString descriptor = name + QStringLiteral(".INI");
    if (AppEntry *entry = FindEntry(name)) {
      if (!ReadPackageDescriptor(entry)) return formatFailure(m_ini.errorPath, descriptor, false);
      entry->operation = AppEntry::Add;
      continue;
    }
    AppEntry *entry = new (std::nothrow) AppEntry;
    if (!entry) continue;
    entry->name = name;
    entry->operation = AppEntry::Add;
    if (!ReadPackageDescriptor(entry)) {
      delete entry;
      return formatFailure(m_ini.errorPath, descriptor, true);
    }
    AppendEntry(entry);
  }
  return 1;
}

int InstallerEngine::ReadPackageDescriptors() {
  m_strDetail.clear();
  m_ini.ClearLastError();
  const QString pattern = QStringLiteral("%1%2\\*.%3").arg(m_strMediaRoot, kMediumFolder, u"INI");
  QList<Device::FindData> found = Device::FindFiles(pattern);
  found.removeIf([](const Device::FindData &file) { return file.directory; });
  if (found.isEmpty()) {
    ClearEntries();
    Report(0, LoadString(3004), 2004, QStringLiteral("error file :(%1)").arg(pattern));
    return 1;
  }

  IniFile::Batch batch(m_ini);
  for (qsizetype index = 0; index < found.size(); ++index) {
    const QString &fileName = found[index].name;
    if (fileName == u"PP_MENU.INI" || fileName == u"PP_INSTALL.INI") continue;
    const QString name = fileName.left(fileName.size() - 4);
    if (name == u"pp_install") continue;
    if (!PackageFileExists(name + QStringLiteral(".ZIP"))) continue;  // a descriptor without its archive
    ShowStatus(3, QStringLiteral("%1.ini file read complete.").arg(name));

    AppEntry *entry = FindEntry(name);
    if (!entry) {
      if (!AddPackageEntry(name)) return 0;
      continue;
    }
    if (!ReadPackageDescriptor(entry)) {
      m_strStatus = LoadString(3009);
      ShowStatus(0, m_strStatus);
      // The pendant names the search pattern when the first file found fails.
      m_strDetail = QStringLiteral("error file :(%1)").arg(index == 0 ? pattern : name);
      m_alert.ShowAlert(2009, m_strDetail);
      return 0;
    }
  }
  return 1;
}

int InstallerEngine::AddPackageEntry(const QString &name) {
  AppEntry *entry = new (std::nothrow) AppEntry;
  if (!entry) {
    m_strStatus = LoadString(3014);
    ShowStatus(0, m_strStatus);
    m_alert.ShowAlert(2014, m_strDetail);
    return 0;
  }
  entry->name = name;
  if (!ReadPackageDescriptor(entry)) {
    delete entry;
    m_strStatus = LoadString(3009);
    ShowStatus(0, QStringLiteral("%1 %2 (section:%3 entry:%4)")
                      .arg(m_strStatus, m_ini.errorPath, m_ini.errorSection, m_ini.errorKey));
    m_strDetail = QStringLiteral("error file :(%1.ini)%2section:%3 entry:%4")
                      .arg(name, kWideSpace, m_ini.errorSection, m_ini.errorKey);
    m_alert.ShowAlert(2009, m_strDetail);
    return 0;
  }
  AppendEntry(entry);
  return 1;
}
