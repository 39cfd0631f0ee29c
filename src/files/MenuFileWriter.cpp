// Writing the pendant's menu file PP_MENU.INI from the list model and handing
// it, with the new archives, to the controller.
#include "app/InstallerEngine.h"
#include "app/StringTable.h"
#include "platform/Device.h"

namespace {

// What one registered entry contributes to the menu file.
struct MenuSection {
  const AppRecord *values;          // texts and numbers
  const AppRecord *subMenuNames;    // the language pairs
};

MenuSection ValuesFor(const AppEntry &entry) {
  static const AppRecord kEmpty;
  switch (entry.operation) {
    case AppEntry::Add:
      return {&entry.package, &entry.package};
    case AppEntry::Remove:
      // A removal that failed and was passed over: still registered, with
      // nothing known about it but its menu names.
      return {&kEmpty, &entry.installed};
    default:
      return {&entry.installed, &entry.installed};
  }
}

void AppendSection(QString &text, int number, const AppEntry &entry) {
  const MenuSection section = ValuesFor(entry);
  const AppRecord &r = *section.values;
  auto line = [&text](const char *key, const QString &value) {
    text += QLatin1String(key) + QStringLiteral(" = ") + value + u'\n';
  };
  auto quoted = [](const QString &value) { return u'"' + value + u'"'; };
  text += QStringLiteral("\n[APPLICATION_INFO%1]\n").arg(number);
  line("APP_NAME", entry.name);
  line("TOPMENU_ID", QString::number(r.topMenuId));
  line("APP_PATH", quoted(r.appPath));
  line("SUBMENU_ICONPATH", quoted(r.iconPath));
  line("APP_VER", r.appVersion);
  line("NS_VER", r.systemVersion);
  line("FILE_SIZE", QString::number(r.fileSize));
  line("APP_TYPE", r.appType);
  line("SYS_STATUS", QString::asprintf("0x%02x", static_cast<unsigned>(r.sysStatus)));
  line("AUTO_RUN", entry.autoRun ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
  line("ONE-TOUCH_RUN", entry.oneTouch ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
  for (const SubMenuName &pair : section.subMenuNames->subMenuNames) {
    if (pair.language.isEmpty()) continue;
    text += QStringLiteral("SUBMENU_NAME_") + pair.language + QStringLiteral(" = ") + quoted(pair.name) + u'\n';
  }
}

}  // namespace

int InstallerEngine::WriteMenuFile() {
  int registered = 0;
  for (const AppEntry *entry : std::as_const(m_entries))
    if (entry && entry->registered) ++registered;
  // Nothing registered: no menu file at all, and no application folders.
  if (registered < 1) return RemoveAllAppFiles();

  if (!Device::IsDirectory(m_strAppFolder)) Device::CreateDirectory(m_strAppFolder);
  const QString path = PendantMenuPath();
  QString backup = path;
  backup.replace(QStringLiteral(".INI"), QStringLiteral(".BAK"));
  // A backup left by an interrupted run is the older, good one: keep it.
  Device::CopyFile(path, backup, true);
  Device::DeleteFile(path);

  QString text = QStringLiteral("[APPLICATION_INFO]\n");
  text += QStringLiteral("VERSION = %1.%2\n").arg(LoadString(1), LoadString(2));
  text += QStringLiteral("APP_NUM = %1\n").arg(registered);
  int number = 1;
  for (const AppEntry *entry : std::as_const(m_entries)) {
    if (!entry) continue;
    if (number > registered) break;
    if (!entry->registered) continue;
    AppendSection(text, number++, *entry);
  }

  int result = 0;
  if (!IniFile::WriteTextFile(path, text)) {
    m_strDetail = QStringLiteral("Failed to save the file. :(%1)").arg(path);
    m_alert.ShowAlert(2001, m_strDetail);
    RemoveAllAppFiles();
  } else if (CreateKtcAppFolder()) {
    if (DownloadMtcAppFiles()) {
      result = 1;
    } else {
      m_strDetail = QStringLiteral("Failed to download file. :(%1)").arg(path);
      m_alert.ShowAlert(2001, m_strDetail);
      RemoveAllAppFiles();
    }
  }
  Device::DeleteFile(backup);
  return result;
}
