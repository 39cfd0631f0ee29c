// The engine's operations that move or delete application files between the
// medium, the pendant and the controller.
#include "InstallerEngine.h"

#include "Reporter.h"
#include "StringTable.h"
#include "files/MenuFile.h"
#include "files/NameRules.h"
#include "files/PackageFiles.h"
#include "platform/CodePage.h"
#include "platform/Device.h"
#include "transfer/ExtractionLibrary.h"
#include "transfer/PendantFolder.h"

// --- synchronisation with the controller ---

ControllerFolderState InstallerEngine::ProbeController() {
  const ControllerFolderState state = ProbeControllerFolder(m_endpoint, m_ktcFolder);
  if (state == ControllerFolderState::Unreachable) ShowStatus(StatusLevel::Transfer, LoadString(3012));
  return state;
}

int InstallerEngine::SyncMenuWithController() {
  switch (ProbeController()) {
    case ControllerFolderState::Unreachable:
      // Without an answer from the controller the pendant's folder is the only
      // working copy: keep it and let the read stage use it.
      return 0;
    case ControllerFolderState::Absent:
      RemoveLocalFolder(m_appFolder);
      return 1;
    case ControllerFolderState::Present:
      break;
  }

  const QString temporary = TemporaryFolder();
  RemoveLocalFolder(temporary);  // a left-over from an interrupted run
  if (!Device::CreateDirectory(temporary)) {
    ShowAlert(2026, QString());
    return 0;
  }
  if (!UploadKtcAppFile(temporary, MenuFile::kFileName)) {
    Report(Outcome::Failure(StatusLevel::Error, 3010, 2010,
                            QStringLiteral("Failed to upload file. :(%1)").arg(MenuFile::kFileName)));
    RemoveAllAppFiles();
    RemoveLocalFolder(temporary);
    return 0;
  }

  const QString pendantMenu = PendantMenuPath();
  const QString fetchedMenu = QStringLiteral("%1\\%2").arg(temporary, MenuFile::kFileName);
  QByteArray pendantBytes;
  QString verdict = QStringLiteral("PP_MENU.INI file compare error.");
  if (!Device::ReadFile(pendantMenu, &pendantBytes)) {
    verdict = QStringLiteral("(%1) file is not registered.").arg(pendantMenu);
  } else if (!PendantFolder::Change::Interrupted(m_appFolder)) {
    // A run stopped half-way through changing the folder leaves its marker:
    // whatever the menu file says then, the folder may hold something else.
    QByteArray fetchedBytes;
    if (!Device::ReadFile(fetchedMenu, &fetchedBytes)) {
      RemoveLocalFolder(temporary);
      return 0;
    }
    // Compared as the text the pendant reads, in its code page.
    if (CodePage::Decode(pendantBytes) == CodePage::Decode(fetchedBytes)) {
      ShowStatus(StatusLevel::Transfer, QStringLiteral("PP_MENU.INI file compare OK."));
      RemoveLocalFolder(temporary);
      return 1;
    }
  }

  ShowStatus(StatusLevel::Transfer, verdict);
  RemoveLocalFolder(m_appFolder);
  Device::CreateDirectory(m_appFolder);
  int rebuilt = 0;
  {
    // The copied menu file describes the folder only once every archive is in.
    PendantFolder::Change change(m_appFolder);
    Device::CopyFile(fetchedMenu, pendantMenu, true);
    rebuilt = UploadKtcAppFiles();
  }
  if (!rebuilt) {
    ShowAlert(2001, QStringLiteral("Failed to upload file."));
    m_entries.Clear();
  }
  RemoveLocalFolder(temporary);
  return rebuilt;
}

int InstallerEngine::UploadKtcAppFile(const QString &localFolder, const QString &fileName) {
  ControllerConnection controller(m_endpoint, m_ktcFolder);
  if (!Check(controller.Opened(QStringLiteral("UploadKtcAppFile")))) return 0;
  const bool fetched = controller.Fetch(localFolder, fileName).ok;
  ShowStatus(StatusLevel::Transfer, (fetched ? QStringLiteral("application upload complete. (%1)")
                                             : QStringLiteral("application upload error. (%1)"))
                                        .arg(fileName));
  return fetched ? 1 : 0;
}

int InstallerEngine::UploadKtcAppFiles() {
  const QString menu = PendantMenuPath();
  const std::optional<int> sum = MenuFile::SumRegisteredFileSizes(m_ini, menu);
  if (!sum) ShowStatus(StatusLevel::Transfer, QStringLiteral("FILE_SIZE_TAG_KEY error."));
  const int required = sum.value_or(0);
  const int available = FreeSpaceKiB(m_appFolder);
  if (available <= required) {
    const QString text = QString::asprintf(" Memory space size:%d < application size:%d", available, required);
    Report(Outcome::Failure(StatusLevel::Error, text, 2003, text));
    SetBusy(true);
    return 0;
  }

  const QList<MenuFile::Registration> registered = MenuFile::Registrations(m_ini, menu);
  ControllerConnection controller(m_endpoint, m_ktcFolder);
  if (!Check(controller.Opened(QStringLiteral("UploadKtcAppFiles")))) return 0;
  const QString temporary = TemporaryFolder();
  for (const MenuFile::Registration &app : registered) {
    const QString archive = app.name + QStringLiteral(".ZIP");
    if (!Check(controller.Fetch(temporary, archive).At(StatusLevel::Error))) return 0;
    const QString fetched = QStringLiteral("%1\\%2").arg(temporary, archive);
    if (!UnzipAppFile(fetched, app.folder)) {
      Report(Outcome::Failure(StatusLevel::Error, 3005, 2005, QStringLiteral("error file :(%1)").arg(fetched)));
      // Half a rebuild is worse than none: the next start rebuilds it whole.
      RemoveLocalFolder(m_appFolder);
      return 0;
    }
  }
  return 1;
}

// --- sending to the controller ---

int InstallerEngine::CreateKtcAppFolder() {
  m_detail.clear();
  ControllerConnection controller(m_endpoint, m_ktcFolder);
  if (!Check(controller.Opened(QStringLiteral("CreateKtcAppFolder")))) return 0;
  if (controller.HasFolder()) return 1;
  if (!Check(controller.CreateFolder())) return 0;
  ShowStatus(StatusLevel::Transfer, QStringLiteral("KTC directory create complete. (%1)\n").arg(m_ktcFolder));
  return 1;
}

int InstallerEngine::DownloadMtcAppFiles() {
  ControllerConnection controller(m_endpoint, m_ktcFolder);
  if (!Check(controller.Opened(QStringLiteral("DownloadMtcAppFiles")))) return 0;
  const QString &menu = MenuFile::kFileName;
  controller.DiscardFile(menu);  // may not be there yet
  if (!Check(controller.Send(m_appFolder, menu, m_ktcFolder + menu))) return 0;
  ShowStatus(StatusLevel::Transfer, LoadString(3023));

  // Archives go straight from the package on the medium.
  const QString packages = PackageFiles::FolderOf(m_mediaRoot);
  for (const AppEntry &entry : m_entries) {
    if (entry.name.isEmpty() || entry.operation != AppEntry::Add) continue;
    const QString archive = entry.name + QStringLiteral(".ZIP");
    if (!Check(controller.Send(packages, archive))) return 0;
    ShowStatus(StatusLevel::Transfer, QStringLiteral("(%1) file ftp download complete.").arg(archive));
  }
  return 1;
}

// --- removal ---

int InstallerEngine::RemoveApps() {
  for (AppEntry &entry : m_entries) {
    if (entry.name.isEmpty() || entry.operation != AppEntry::Remove) continue;
    const QString archive = entry.name + QStringLiteral(".ZIP");
    if (!RemoveKtcAppFile(archive)) {
      ShowStatus(StatusLevel::Transfer, LoadString(3006));
      // Only a stop stops; OK and Escape pass over this application, which
      // keeps its mark and its files.
      if (ShowAlert(2006, QStringLiteral("error file :(%1)").arg(archive)) == Reporter::kSecondButton) return 0;
      continue;
    }
    // An application without a folder of its own (APP_PATH directly under
    // PP_APP) has nothing to delete on the pendant: "PP_APP\" plus an empty
    // name would be the whole application folder.
    const QString &folder = entry.installed.folder;
    if (!folder.isEmpty() && IsSafePathName(folder) &&
        !RemoveLocalFolder(QStringLiteral("%1\\%2").arg(m_appFolder, folder)))
      return 0;
    ForgetInstalled(entry);
    ShowStatus(StatusLevel::Transfer, QStringLiteral("KTC and PP appilcation file delete complete. (%1)").arg(archive));
  }
  return 1;
}

int InstallerEngine::RemoveAllAppFiles() {
  SetBusy(true);  // the calling stage ends the busy state
  int result = 1;
  if (ExistKtcAppFolder() == 1) result = RemoveKtcAppFolder();
  // The pendant's folder goes whatever the controller did.
  if (!RemoveLocalFolder(m_appFolder)) return 0;
  return result;
}

int InstallerEngine::ExistKtcAppFolder() { return ProbeController() == ControllerFolderState::Present ? 1 : 0; }

int InstallerEngine::RemoveKtcAppFolder() {
  m_detail.clear();
  ControllerConnection controller(m_endpoint, m_ktcFolder);
  if (!Check(controller.Opened(QStringLiteral("RemoveKtcAppFolder")))) return 0;
  if (!Check(controller.RemoveFolder())) return 0;
  ShowStatus(StatusLevel::Transfer, QStringLiteral("(%1) folder remove complete.").arg(m_ktcFolder));
  return 1;
}

int InstallerEngine::RemoveKtcAppFile(const QString &fileName) {
  ControllerConnection controller(m_endpoint, m_ktcFolder);
  if (!Check(controller.Opened(QStringLiteral("RemoveKtcAppFile")))) return 0;
  if (!Check(controller.RemoveFile(fileName))) return 0;
  ShowStatus(StatusLevel::Transfer, QStringLiteral("(%1%2) file remove complete.").arg(m_ktcFolder, fileName));
  return 1;
}

int InstallerEngine::RemoveLocalFolder(const QString &path) {
  const PendantFolder::TreeRemoval removal = PendantFolder::RemoveTree(path);
  for (const PendantFolder::RemovalStep &step : removal.steps) {
    switch (step.kind) {
      case PendantFolder::RemovalStep::FileRemoved:
        ShowStatus(StatusLevel::Transfer, QStringLiteral("KTP file remove complete. (%1)").arg(step.path));
        break;
      case PendantFolder::RemovalStep::FolderRemoved:
        ShowStatus(StatusLevel::Transfer, QStringLiteral("MTP folder remove complete. (%1)").arg(step.path));
        break;
      case PendantFolder::RemovalStep::FolderKept:
        ShowStatus(StatusLevel::Transfer, LoadString(3020));
        SetBusy(true);
        break;
    }
  }
  return removal.removed ? 1 : 0;
}

// --- extraction and installation ---

int InstallerEngine::UnzipAppFile(const QString &archivePath, const QString &folderName) {
  ExtractionLibrary library;
  if (!Check(library.Load())) return 0;
  // An empty or escaping folder name would aim the extraction at the
  // application folder itself, or outside it: refuse it as a failed unpack.
  const bool folderOk = Device::IsContainedRelativePath(folderName);
  if (folderOk && !RemoveLocalFolder(QStringLiteral("%1\\%2\\").arg(m_appFolder, folderName))) return 0;
  const QString command = ExtractionLibrary::Command(archivePath, m_appFolder, folderName);
  QString report;
  if (folderOk && library.Extract(command, &report)) {
    ShowStatus(StatusLevel::Transfer, QStringLiteral("unzip success.(%1)").arg(command));
    return 1;
  }
  return Fail(Outcome::Failure(StatusLevel::Transfer, 3005, 2005, QStringLiteral("error file :(%1)").arg(archivePath)));
}

int InstallerEngine::InstallOnPendant() {
  // Unpacking replaces folders that the menu file still describes; a power
  // loss before the menu file is rewritten must not leave them trusted.
  PendantFolder::Change change(m_appFolder);
  int result = 1;
  for (AppEntry &entry : m_entries) {
    if (entry.name.isEmpty() || entry.operation != AppEntry::Add) continue;
    if (IsOlderVersion(entry.installed.appVersion, entry.package.appVersion)) {
      m_alert.SetButtonState(AlertDialog::kSecondButton, 1);
      const int answer = m_alert.ShowAlert(2019, m_detail);
      SetBusy(true);
      if (answer == Reporter::kSecondButton) {
        entry.operation = AppEntry::None;
        continue;
      }
      // An accepted downgrade keeps its mark, so that the controller receives
      // the archive that now matches the pendant.
    }
    if (!entry.installed.folder.isEmpty() &&
        !RemoveLocalFolder(QStringLiteral("%1\\%2").arg(m_appFolder, entry.installed.folder)))
      return 0;
    if (entry.package.folder.isEmpty()) {
      ShowStatus(StatusLevel::Transfer, QStringLiteral("APPLICATION_FOLDER_NAME error."));
      result = 0;
      continue;
    }
    // A failed unpack has told the operator that installation goes on.
    if (!UnzipAppFile(PackageFiles::PathOf(m_mediaRoot, entry.name + QStringLiteral(".ZIP")), entry.package.folder))
      continue;
    AdoptPackage(entry);
  }
  return result;
}
