// Removing applications: the archives in the controller's folder and the
// unpacked folders on the pendant, one marked application at a time or
// everything at once when the installation is found damaged.
#include "app/InstallerEngine.h"
#include "app/StringTable.h"
#include "files/NameRules.h"
#include "platform/Device.h"

int InstallerEngine::RemoveApps() {
  for (AppEntry *entry : std::as_const(m_entries)) {
    if (!entry) break;
    if (entry->name.isEmpty() || entry->operation != AppEntry::Remove) continue;
    const QString archive = QStringLiteral("%1.%2").arg(entry->name, QStringLiteral("ZIP"));
    if (RemoveKtcAppFile(archive)) {
      // An application without a folder of its own (APP_PATH directly under
      // PP_APP) has nothing to delete on the pendant: "PP_APP\" plus an empty
      // name would be the whole application folder.
      const QString &folder = entry->installed.folder;
      if (!folder.isEmpty() && IsSafePathName(folder) &&
          !RemoveLocalFolder(QStringLiteral("%1\\%2").arg(m_strAppFolder, folder)))
        return 0;
      entry->operation = AppEntry::None;
      entry->registered = 0;
      entry->autoRun = 0;
      entry->oneTouch = 0;
      // Name, folder and paths stay so that the row still says what it was.
      AppRecord &installed = entry->installed;
      installed.fileSize = 0;
      installed.sysStatus = 0;
      installed.autoRunCapable = 0;
      installed.appVersion.clear();
      installed.systemVersion.clear();
      installed.appType.clear();
      m_strStatus = QStringLiteral("KTC and PP appilcation file delete complete. (%1)").arg(archive);
      ShowStatus(2, m_strStatus);
    } else {
      m_strStatus = LoadString(3006);
      ShowStatus(2, m_strStatus);
      m_strDetail = QStringLiteral("error file :(%1)").arg(archive);
      // Only a stop stops; OK and Escape pass over this application, which
      // keeps its mark and its files.
      if (m_alert.ShowAlert(2006, m_strDetail) == 0) return 0;
    }
  }
  return 1;
}

int InstallerEngine::RemoveAllAppFiles() {
  SetBusy(true);  // the calling stage ends the busy state
  int result = 1;
  if (ExistKtcAppFolder() == 1) result = RemoveKtcAppFolder();
  // The pendant's folder goes whatever the controller did.
  if (!RemoveLocalFolder(m_strAppFolder)) return 0;
  return result;
}

InstallerEngine::KtcFolderState InstallerEngine::ProbeKtcAppFolder() {
  if (!m_ftp.Open()) {
    m_strStatus = LoadString(3012);
    ShowStatus(2, m_strStatus);
    return KtcFolderState::Unreachable;
  }
  const bool exists = m_ftp.Exists(QStringLiteral("PP_APP"));
  // A controller that stopped answering said nothing about its folder; taken
  // for "no folder", it would cost the pendant its only working copy.
  const bool answered = exists || m_ftp.IsOpen();
  m_ftp.Close();
  if (!answered) {
    m_strStatus = LoadString(3012);
    ShowStatus(2, m_strStatus);
    return KtcFolderState::Unreachable;
  }
  return exists ? KtcFolderState::Present : KtcFolderState::Absent;
}

int InstallerEngine::ExistKtcAppFolder() { return ProbeKtcAppFolder() == KtcFolderState::Present ? 1 : 0; }

int InstallerEngine::RemoveKtcAppFolder() {
  m_strDetail.clear();
  if (!OpenController(QStringLiteral("RemoveKtcAppFolder"))) return 0;
  if (!m_ftp.RemoveFolder(m_strKtcFolder)) {
    Report(2, LoadString(3020), 2024, QStringLiteral("error KTC folder. :(%1)").arg(m_strKtcFolder));
    m_ftp.Close();
    return 0;
  }
  m_strStatus = QStringLiteral("(%1) folder remove complete.").arg(m_strKtcFolder);
  ShowStatus(2, m_strStatus);
  m_ftp.Close();
  return 1;
}

int InstallerEngine::RemoveKtcAppFile(const QString &fileName) {
  if (!OpenController(QStringLiteral("RemoveKtcAppFile"))) return 0;
  if (!m_ftp.RemoveFile(m_strKtcFolder, fileName)) {
    Report(2, LoadString(3006), 2025, QStringLiteral("error KTC folder. :(%1%2)").arg(m_strKtcFolder, fileName));
    m_ftp.Close();
    return 0;
  }
  m_strStatus = QStringLiteral("(%1%2) file remove complete.").arg(m_strKtcFolder, fileName);
  ShowStatus(2, m_strStatus);
  m_ftp.Close();
  return 1;
}

int InstallerEngine::RemoveLocalFolder(const QString &path) {
  if (!Device::Exists(path)) return 1;
  const QList<Device::FindData> items = Device::FindFiles(QStringLiteral("%1\\*").arg(path));
  for (const Device::FindData &item : items) {
    const QString itemPath = QStringLiteral("%1\\%2").arg(path, item.name);
    if (item.directory) {
      // A subfolder left behind shows up as the failure of this folder's removal.
      RemoveLocalFolder(itemPath);
    } else {
      Device::DeleteFile(itemPath);
      m_strStatus = QStringLiteral("KTP file remove complete. (%1)").arg(itemPath);
      ShowStatus(2, m_strStatus);
    }
  }
  if (!Device::RemoveDirectory(path)) {
    m_strStatus = LoadString(3020);
    ShowStatus(2, m_strStatus);
    SetBusy(true);
    return 0;
  }
  m_strStatus = QStringLiteral("MTP folder remove complete. (%1)").arg(path);
  ShowStatus(2, m_strStatus);
  return 1;
}
