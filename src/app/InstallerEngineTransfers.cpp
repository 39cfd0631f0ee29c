// The engine's operations that move or delete application files between the
// medium, the pendant and the controller.
#include "InstallerEngine.h"

#include "ProgressMeter.h"
#include "Reporter.h"
#include "StringTable.h"
#include "files/MenuFile.h"
#include "files/NameRules.h"
#include "files/PackageFiles.h"
#include "platform/CodePage.h"
#include "platform/Device.h"
#include "transfer/ExtractionLibrary.h"
#include "transfer/PendantFolder.h"

#include <optional>

// --- synchronisation with the controller ---

ControllerFolderState InstallerEngine::ProbeController() {
  const ControllerFolderState state = ProbeControllerFolder(m_endpoint, m_ktcFolder);
  if (state == ControllerFolderState::Unreachable) ShowStatus(StatusLevel::Transfer, LoadString(3012));
  return state;
}

int InstallerEngine::SyncMenuWithController() {
  m_inLine = true;
  // A change that a power cut or a lost controller interrupted is finished
  // before anything is compared: until then neither side can be trusted.
  if (std::optional<ChangeJournal::Plan> plan = ChangeJournal::Read(m_workFolder)) {
    if (!FinishChange(*plan)) {
      m_inLine = false;
      return 0;
    }
  } else {
    ChangeJournal::Discard(m_workFolder);  // unpacked aside by a run that never got to change anything
  }

  const QString temporary = TemporaryFolder();
  RemoveLocalFolder(temporary);  // a left-over from an interrupted run
  switch (ProbeController()) {
    case ControllerFolderState::Unreachable:
      // Without an answer from the controller the pendant's folder is the only
      // working copy: keep it and let the read stage use it.
      return 0;
    case ControllerFolderState::Absent:
      return ControllerLostItsCopy(false);
    case ControllerFolderState::Present:
      break;
  }

  if (!Device::CreateDirectory(temporary)) {
    ShowAlert(2026, QString());
    m_inLine = false;
    return 0;
  }
  const QString pendantMenu = PendantMenuPath();
  const QString fetchedMenu = QStringLiteral("%1\\%2").arg(temporary, MenuFile::kFileName);
  int result = 0;
  if (!UploadKtcAppFile(temporary, MenuFile::kFileName)) {
    ControllerConnection controller(m_endpoint, m_ktcFolder);
    if (controller.IsOpen() && controller.Stat(MenuFile::kFileName).state == RemoteFile::Absent) {
      // A folder without a menu file registers nothing.
      RemoveLocalFolder(temporary);
      return ControllerLostItsCopy(true);
    }
    // A failed transfer says nothing about the controller's copy: keep both.
    Report(Outcome::Failure(StatusLevel::Error, 3011, 2011,
                            QStringLiteral("Failed to upload file. :(%1)").arg(MenuFile::kFileName)));
    m_inLine = false;
  } else {
    QByteArray pendantBytes, fetchedBytes;
    if (!Device::ReadFile(pendantMenu, &pendantBytes)) {
      ShowStatus(StatusLevel::Transfer, QStringLiteral("(%1) file is not registered.").arg(pendantMenu));
    } else if (Device::ReadFile(fetchedMenu, &fetchedBytes) &&
               CodePage::Decode(pendantBytes) == CodePage::Decode(fetchedBytes)) {
      // Compared as the text the pendant reads, in its code page.
      ShowStatus(StatusLevel::Transfer, QStringLiteral("PP_MENU.INI file compare OK."));
      result = 1;
    } else {
      ShowStatus(StatusLevel::Transfer, QStringLiteral("PP_MENU.INI file compare error."));
    }
    if (!result) {
      result = RebuildFromController(fetchedMenu);
      if (!result) m_inLine = false;
    }
  }
  RemoveLocalFolder(temporary);
  return result;
}

int InstallerEngine::ControllerLostItsCopy(bool folderThere) {
  IniFile::Batch batch(m_ini);
  if (MenuFile::Registrations(m_ini, PendantMenuPath()).isEmpty()) {
    // Nothing here to lose: both sides start empty.
    if (!folderThere) {
      RemoveLocalFolder(m_appFolder);
      return 1;
    }
    Report(Outcome::Failure(StatusLevel::Error, 3010, 2010,
                            QStringLiteral("Failed to upload file. :(%1)").arg(MenuFile::kFileName)));
    RemoveAllAppFiles();
    return 0;
  }
  m_alert.SetButtonState(AlertDialog::kSecondButton, 1);
  m_alert.SetCaptions(4013, 4014);
  const int answer = m_alert.ShowAlert(2027, QStringLiteral("error file :(%1%2)").arg(m_ktcFolder, MenuFile::kFileName));
  SetBusy(true);
  if (answer == Reporter::kFirstButton) return RestoreController();
  if (answer == Reporter::kEscape) {
    m_inLine = false;
    return 0;
  }
  RemoveAllAppFiles();
  return 1;
}

int InstallerEngine::RebuildFromController(const QString &fetchedMenu) {
  const std::optional<int> sum = MenuFile::SumRegisteredFileSizes(m_ini, fetchedMenu);
  if (!sum) ShowStatus(StatusLevel::Transfer, QStringLiteral("FILE_SIZE_TAG_KEY error."));
  const int required = sum.value_or(0);
  // The pendant's own copy is out of line and the controller holds the
  // master: it makes room when the new copy does not fit beside it.
  if (FreeSpaceKiB(m_appFolder) <= required) RemoveLocalFolder(m_appFolder);
  const int available = FreeSpaceKiB(m_appFolder);
  if (available <= required) {
    const QString text = QString::asprintf(" Memory space size:%d < application size:%d", available, required);
    Report(Outcome::Failure(StatusLevel::Error, text, 2003, text));
    SetBusy(true);
    return 0;
  }

  const QString staging = ChangeJournal::StagingFolder(m_workFolder);
  if (!ChangeJournal::OpenStaging(m_workFolder)) return SaveFailed(staging);
  const QList<MenuFile::Registration> registered = MenuFile::Registrations(m_ini, fetchedMenu);
  {
    ControllerConnection controller(m_endpoint, m_ktcFolder);
    if (!Check(controller.Opened(QStringLiteral("UploadKtcAppFiles")))) return 0;
    // Each archive counts twice in the stage: fetched, then unpacked.
    const QHash<QString, qint64> sizes = controller.ListedSizes();
    qint64 total = 0;
    for (const MenuFile::Registration &app : registered) total += 2 * sizes.value((app.name + QStringLiteral(".ZIP")).toUpper());
    ProgressMeter meter(m_reporter, QStringLiteral("rebuild"), int(registered.size()), total);
    controller.SetTransferProgress(meter.Callback());
    const QString temporary = TemporaryFolder();
    for (const MenuFile::Registration &app : registered) {
      // A folder that is not an application's own is never unpacked into:
      // the reading below leaves that application out.
      const QString archive = app.name + QStringLiteral(".ZIP");
      meter.StartFile(archive, 2 * sizes.value(archive.toUpper()));
      if (!IsUsableFolderName(app.folder) || Device::Exists(QStringLiteral("%1\\%2").arg(staging, app.folder))) continue;
      meter.SetPart(0, 2);
      if (!Check(controller.Fetch(temporary, archive).At(StatusLevel::Error))) {
        ChangeJournal::Discard(m_workFolder);
        return 0;
      }
      const QString fetched = QStringLiteral("%1\\%2").arg(temporary, archive);
      m_tally.fetched.append(archive);
      m_tally.bytesFetched += FileBytes(fetched);
      meter.SetPart(1, 2);
      UnzipAppFile(fetched, staging, app.folder, &meter);
      Device::DeleteFile(fetched);
    }
    meter.FinishFile();
  }

  MenuFile::Reading reading = MenuFile::Read(m_ini, fetchedMenu, m_workFolder + u'\\', true);
  QByteArray menu;
  if (reading.result == MenuFile::Reading::Result::Read) {
    Device::ReadFile(fetchedMenu, &menu);
    // Left out, an application must not be registered here either.
    if (!reading.leftOut.isEmpty()) {
      const QString version = QStringLiteral("%1.%2").arg(LoadString(1), LoadString(2));
      menu = reading.entries.empty() ? QByteArray() : IniFile::TextBytes(MenuFile::Compose(reading.entries, version));
    }
  }
  for (const QString &name : reading.leftOut)
    Report(Outcome::Failure(StatusLevel::Error, 3008, 2008,
                            QStringLiteral("error file :(%1%2) %3").arg(m_ktcFolder, MenuFile::kFileName, name)));
  if (reading.result != MenuFile::Reading::Result::Read) {
    ChangeJournal::Discard(m_workFolder);
    return Fail(Outcome::Failure(StatusLevel::Error, 3008, 2008,
                                 QStringLiteral("error file :(%1%2)").arg(m_ktcFolder, MenuFile::kFileName)));
  }
  const QString stagedMenu = QStringLiteral("%1\\%2").arg(staging, MenuFile::kFileName);
  if (!menu.isEmpty() && !Device::WriteFileAtomically(stagedMenu, menu)) {
    ChangeJournal::Discard(m_workFolder);
    return SaveFailed(PendantMenuPath());
  }
  Device::FlushVolume(staging);
  // Two renames: a power cut between them leaves no menu file here, and the
  // next start rebuilds again.
  if (Device::Exists(m_appFolder) && !Device::MoveFile(m_appFolder, WorkPath(QStringLiteral("OLD")))) {
    ChangeJournal::Discard(m_workFolder);
    return Fail(Outcome::Failure(StatusLevel::Transfer, 3020, 2020, QStringLiteral("error file :(%1)").arg(m_appFolder)));
  }
  const bool swapped = Device::MoveFile(staging, m_appFolder);
  ChangeJournal::Discard(m_workFolder);
  return swapped ? 1 : 0;
}

int InstallerEngine::UploadKtcAppFile(const QString &localFolder, const QString &fileName) {
  ControllerConnection controller(m_endpoint, m_ktcFolder);
  if (!Check(controller.Opened(QStringLiteral("UploadKtcAppFile")))) return 0;
  const bool fetched = controller.Fetch(localFolder, fileName).ok;
  if (fetched) {
    m_tally.fetched.append(fileName);
    m_tally.bytesFetched += FileBytes(QStringLiteral("%1\\%2").arg(localFolder, fileName));
  }
  ShowStatus(StatusLevel::Transfer, (fetched ? QStringLiteral("application upload complete. (%1)")
                                             : QStringLiteral("application upload error. (%1)"))
                                        .arg(fileName));
  return fetched ? 1 : 0;
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

// --- removal ---

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

// --- extraction ---

int InstallerEngine::UnzipAppFile(const QString &archivePath, const QString &parentFolder, const QString &folderName,
                                  ProgressMeter *meter) {
  ExtractionLibrary library;
  if (!Check(library.Load())) return 0;
  // An empty or escaping folder name would aim the extraction at the
  // application folder itself, or outside it: refuse it as a failed unpack.
  // The target is fresh: both callers unpack into a staging folder made
  // empty for this run, one folder per application.
  const bool folderOk = Device::IsContainedRelativePath(folderName) && IsUsableFolderName(folderName);
  const QString command = ExtractionLibrary::Command(archivePath, parentFolder, folderName);
  QString report;
  if (folderOk && library.Extract(command, &report, meter ? meter->Callback() : ExtractionLibrary::Progress())) {
    ShowStatus(StatusLevel::Transfer, QStringLiteral("unzip success.(%1)").arg(command));
    return 1;
  }
  if (!folderOk) report = QStringLiteral("\"%1\" is no folder name of an application").arg(folderName);
  return Fail(Outcome::Failure(StatusLevel::Transfer, 3005, 2005, QStringLiteral("error file :(%1)").arg(archivePath))
                  .Because(QStringLiteral("%1: %2").arg(archivePath, report)));
}
