// Making the pendant's working copy of the applications agree with the
// controller's master copy: compare the menu files and, when they differ,
// rebuild the pendant's application folder from the controller's archives.
// Files fetched from the controller wait in a temporary folder on the medium,
// not on the pendant's small flash disk.
#include "app/InstallerEngine.h"
#include "app/StringTable.h"
#include "platform/CodePage.h"
#include "platform/Device.h"

namespace {

const QString kMenuFile = QStringLiteral("PP_MENU.INI");
// Present in the pendant's application folder only while it is being changed.
const QString kChangeMarker = QStringLiteral("PP_WORK.FLG");

QString TemporaryFolder(const QString &mediaRoot) {
  return QStringLiteral("%1%2\\%3").arg(mediaRoot, QStringLiteral("PP_APP"), QStringLiteral("TEMP"));
}

}  // namespace

int InstallerEngine::SyncMenuWithController() {
  switch (ProbeKtcAppFolder()) {
    case KtcFolderState::Unreachable:
      // Without an answer from the controller the pendant's folder is the only
      // working copy: keep it and let the read stage use it.
      return 0;
    case KtcFolderState::Absent:
      RemoveLocalFolder(m_strAppFolder);
      return 1;
    case KtcFolderState::Present:
      break;
  }

  const QString temporary = TemporaryFolder(m_strMediaRoot);
  RemoveLocalFolder(temporary);  // a left-over from an interrupted run
  if (!Device::CreateDirectory(temporary)) {
    m_strDetail.clear();
    m_alert.ShowAlert(2026, m_strDetail);
    return 0;
  }

  if (!UploadKtcAppFile(temporary, kMenuFile)) {
    Report(0, LoadString(3010), 2010, QStringLiteral("Failed to upload file. :(%1)").arg(kMenuFile));
    RemoveAllAppFiles();
    RemoveLocalFolder(temporary);
    return 0;
  }

  const QString pendantMenu = PendantMenuPath();
  const QString fetchedMenu = QStringLiteral("%1\\%2").arg(temporary, kMenuFile);
  QByteArray pendantBytes;
  if (!Device::ReadFile(pendantMenu, &pendantBytes)) {
    m_strStatus = QStringLiteral("(%1) file is not registered.").arg(pendantMenu);
  } else if (PendantChangeInterrupted()) {
    // A run stopped half-way through changing the folder: whatever the menu
    // file says, the folder may hold something else.
    m_strStatus = QStringLiteral("PP_MENU.INI file compare error.");
  } else {
    QByteArray fetchedBytes;
    if (!Device::ReadFile(fetchedMenu, &fetchedBytes)) {
      RemoveLocalFolder(temporary);
      return 0;
    }
    // Compared as the text the pendant reads, in its code page.
    if (CodePage::Decode(pendantBytes) == CodePage::Decode(fetchedBytes)) {
      m_strStatus = QStringLiteral("PP_MENU.INI file compare OK.");
      ShowStatus(2, m_strStatus);
      RemoveLocalFolder(temporary);
      return 1;
    }
    m_strStatus = QStringLiteral("PP_MENU.INI file compare error.");
  }

  ShowStatus(2, m_strStatus);
  RemoveLocalFolder(m_strAppFolder);
  Device::CreateDirectory(m_strAppFolder);
  // The copied menu file describes the folder only once every archive is in.
  BeginPendantChange();
  Device::CopyFile(fetchedMenu, pendantMenu, true);
  const int rebuilt = UploadKtcAppFiles();
  EndPendantChange();
  if (rebuilt) {
    RemoveLocalFolder(temporary);
    return 1;
  }
  m_strDetail = QStringLiteral("Failed to upload file.");
  m_alert.ShowAlert(2001, m_strDetail);
  ClearEntries();
  RemoveLocalFolder(temporary);
  return 0;
}

int InstallerEngine::UploadKtcAppFile(const QString &localFolder, const QString &fileName) {
  if (!OpenController(QStringLiteral("UploadKtcAppFile"))) return 0;
  const bool fetched = m_ftp.GetFile(m_strKtcFolder, localFolder, fileName);
  m_strStatus = (fetched ? QStringLiteral("application upload complete. (%1)")
                         : QStringLiteral("application upload error. (%1)"))
                    .arg(fileName);
  ShowStatus(2, m_strStatus);
  m_ftp.Close();
  return fetched ? 1 : 0;
}

int InstallerEngine::UploadKtcAppFiles() {
  const QString menu = PendantMenuPath();
  const int required = SumRegisteredFileSizes(menu);
  const int available = FreeSpaceKiB(m_strAppFolder);
  if (available <= required) {
    Report(0, QString::asprintf(" Memory space size:%d < application size:%d", available, required), 2003, m_strStatus);
    SetBusy(true);
    return 0;
  }

  const QString info = QStringLiteral("APPLICATION_INFO");
  const int count = m_ini.ReadIniInt(menu, info, QStringLiteral("APP_NUM"));
  if (!OpenController(QStringLiteral("UploadKtcAppFiles"))) return 0;

  const QString temporary = TemporaryFolder(m_strMediaRoot);
  const qsizetype prefixLength = QStringLiteral("PP_APP\\").size();
  for (int k = 1; k <= count; ++k) {
    const QString section = info + QString::number(k);
    const QString name = m_ini.ReadIniString(menu, section, QStringLiteral("APP_NAME"));
    if (name.isEmpty()) break;
    // PP_APP\<folder>\<name>.EXE: the folder is what lies between.
    const QString rest = m_ini.ReadIniString(menu, section, QStringLiteral("APP_PATH")).mid(prefixLength);
    const qsizetype folderLength = rest.size() - QStringLiteral("\\%1.%2").arg(name, QStringLiteral("EXE")).size();
    const QString folder = folderLength > 0 ? rest.left(folderLength) : QString();

    const QString archive = QStringLiteral("%1.%2").arg(name, QStringLiteral("ZIP"));
    if (!m_ftp.GetFile(m_strKtcFolder, temporary, archive)) {
      Report(0, LoadString(3011), 2011, QStringLiteral("error file :(%1)").arg(archive));
      m_ftp.Close();
      return 0;
    }
    const QString fetched = QStringLiteral("%1\\%2").arg(temporary, archive);
    if (!UnzipAppFile(fetched, folder)) {
      Report(0, LoadString(3005), 2005, QStringLiteral("error file :(%1)").arg(fetched));
      m_ftp.Close();
      // Half a rebuild is worse than none: the next start rebuilds it whole.
      RemoveLocalFolder(m_strAppFolder);
      return 0;
    }
  }
  m_ftp.Close();
  return 1;
}

void InstallerEngine::BeginPendantChange() {
  // Flushed before anything in the folder changes. Without the folder there
  // is no menu file either, and the next start rebuilds in any case.
  if (Device::IsDirectory(m_strAppFolder))
    Device::WriteFileAtomically(QStringLiteral("%1\\%2").arg(m_strAppFolder, kChangeMarker), QByteArray());
}

void InstallerEngine::EndPendantChange() {
  // Everything unpacked under the mark reaches the flash disk before the mark
  // goes: one flush for the whole change rather than one per file.
  Device::FlushVolume(m_strAppFolder);
  Device::DeleteFile(QStringLiteral("%1\\%2").arg(m_strAppFolder, kChangeMarker));
}

bool InstallerEngine::PendantChangeInterrupted() const {
  return Device::Exists(QStringLiteral("%1\\%2").arg(m_strAppFolder, kChangeMarker));
}
