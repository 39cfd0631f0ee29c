// An Execute as one change to both copies of the applications. The marked
// packages are unpacked aside and checked while nothing installed has
// changed; then the plan (removals, folders to swap in, archives to send and
// the menu file it all leads to) goes into the journal; only then does a
// file change on either side, the controller's menu file last. A start that
// finds the journal carries the same plan out again.
#include "InstallerEngine.h"

#include "ProgressMeter.h"
#include "Reporter.h"
#include "StringTable.h"
#include "files/MenuFile.h"
#include "files/NameRules.h"
#include "files/PackageFiles.h"
#include "platform/Device.h"
#include "transfer/FolderArchive.h"
#include "transfer/PendantFolder.h"

namespace {

QString ArchiveOf(const QString &name) { return name + QStringLiteral(".ZIP"); }

QString MenuVersion() { return QStringLiteral("%1.%2").arg(LoadString(1), LoadString(2)); }

}  // namespace

// --- unpacking aside ---

int InstallerEngine::InstallOnPendant() {
  m_plan = ChangeJournal::Plan();
  ChangeJournal::Discard(m_workFolder);
  const QString staging = ChangeJournal::StagingFolder(m_workFolder);
  // Folders the other applications hold, or will hold after this run.
  QStringList claimed;
  int marked = 0;
  qint64 bytes = 0;
  for (const AppEntry &entry : m_entries) {
    if (entry.registered && !entry.installed.folder.isEmpty()) claimed.append(FatKey(entry.installed.folder));
    if (!entry.name.isEmpty() && entry.operation == AppEntry::Add) {
      ++marked;
      bytes += FileBytes(PackageFiles::PathOf(m_mediaRoot, ArchiveOf(entry.name)));
    }
  }
  ProgressMeter meter(m_reporter, QStringLiteral("unpack"), marked, bytes);
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
    const QString folder = entry.package.folder;
    if (folder.isEmpty()) {
      ShowStatus(StatusLevel::Transfer, QStringLiteral("APPLICATION_FOLDER_NAME error."));
      entry.operation = AppEntry::None;
      continue;
    }
    QStringList others = claimed;
    if (entry.registered) others.removeOne(FatKey(entry.installed.folder));
    const QString descriptor = entry.name + QStringLiteral(".INI");
    if (others.contains(FatKey(folder))) {
      // Another application's folder: its files would be replaced.
      m_ini.SetLastError(PackageFiles::PathOf(m_mediaRoot, descriptor), QStringLiteral("APPLICATION_INFO"),
                         QStringLiteral("FOLDER_NAME"));
      DescriptorFailure(m_ini.errorPath, descriptor, false);
      entry.operation = AppEntry::None;
      continue;
    }
    if (!Device::IsDirectory(staging) && !ChangeJournal::OpenStaging(m_workFolder)) return SaveFailed(staging);
    const QString archive = PackageFiles::PathOf(m_mediaRoot, ArchiveOf(entry.name));
    meter.StartFile(ArchiveOf(entry.name), FileBytes(archive));
    if (!UnzipAppFile(archive, staging, folder, &meter)) {  // told the operator that installation goes on
      entry.operation = AppEntry::None;
      continue;
    }
    // What was unpacked must be the application its descriptor declares.
    const QString staged = QStringLiteral("%1\\%2").arg(staging, folder);
    const bool hasExecutable = Device::IsFile(QStringLiteral("%1\\%2").arg(m_workFolder, entry.package.appPath));
    const qint64 bound = 2 * qint64(entry.package.fileSize) * 1024 + 1024 * 1024;
    const std::optional<ChangeJournal::Archive> measured = ChangeJournal::Measure(archive, entry.name);
    const qint64 unpacked = PendantFolder::TreeBytes(staged);
    if (!hasExecutable || unpacked > bound || !measured) {
      m_reporter.RecordDetail(!hasExecutable ? QStringLiteral("%1: no %2 in the archive").arg(archive, entry.package.appPath)
                              : !measured    ? QStringLiteral("%1: cannot be read again").arg(archive)
                                             : QStringLiteral("%1: unpacks to %2 bytes, more than twice FILE_SIZE plus 1 MiB")
                                                .arg(archive)
                                                .arg(unpacked));
      ShowStatus(StatusLevel::Error, LoadString(hasExecutable ? 3005 : 3018));
      ShowAlert(2005, QStringLiteral("error file :(%1)").arg(archive));
      SetBusy(true);
      RemoveLocalFolder(staged);
      entry.operation = AppEntry::None;
      continue;
    }
    claimed.append(FatKey(folder));
    m_plan.swaps.append(folder);
    if (!entry.installed.folder.isEmpty() && FatKey(entry.installed.folder) != FatKey(folder))
      m_plan.retired.append(entry.installed.folder);
    m_plan.sends.append(*measured);
  }
  meter.FinishFile();
  // Everything unpacked is on the flash disk before the journal names it.
  if (!m_plan.swaps.isEmpty()) Device::FlushVolume(staging);
  return 1;
}

// --- the journal ---

bool InstallerEngine::RecordPlan() {
  std::vector<AppEntry> after = m_entries.Values();
  for (AppEntry &entry : after) {
    if (entry.operation == AppEntry::Remove)
      ForgetInstalled(entry);
    else if (entry.operation == AppEntry::Add)
      AdoptPackage(entry);
  }
  const bool registered = std::any_of(after.begin(), after.end(), [](const AppEntry &e) { return e.registered; });
  // Only the operator's removals, done or still planned, may empty both sides.
  m_plan.emptied = !registered && !m_plan.removals.isEmpty();
  m_plan.menu = registered ? IniFile::TextBytes(MenuFile::Compose(after, MenuVersion())) : QByteArray();
  if (ChangeJournal::Write(m_workFolder, m_plan)) return true;
  SaveFailed(WorkPath(QStringLiteral("JOURNAL")));
  return false;
}

// --- removal ---

int InstallerEngine::RemoveApps() {
  for (const AppEntry &entry : m_entries)
    if (!entry.name.isEmpty() && entry.operation == AppEntry::Remove)
      m_plan.removals.append({entry.name, entry.installed.folder, false});
  if (!RecordPlan()) return 0;

  for (qsizetype i = 0; i < m_plan.removals.size(); ++i) {
    ChangeJournal::Removal &removal = m_plan.removals[i];
    AppEntry *entry = m_entries.Find(removal.name);
    const QString archive = ArchiveOf(removal.name);
    if (RemoveKtcAppFile(archive)) {
      removal.controllerDone = true;
      ForgetInstalled(*entry);
      ShowStatus(StatusLevel::Transfer, QStringLiteral("KTC and PP appilcation file delete complete. (%1)").arg(archive));
      if (!RecordPlan()) return 0;
      continue;
    }
    ShowStatus(StatusLevel::Transfer, LoadString(3006));
    // OK keeps this application registered and whole on both sides and goes
    // on; Cancel keeps it and every application not yet removed, and installs
    // nothing: what was removed so far is carried out.
    const bool stop = ShowAlert(2006, QStringLiteral("error file :(%1)").arg(archive), true) == Reporter::kSecondButton;
    SetBusy(true);
    qsizetype kept = i;
    while (kept < m_plan.removals.size() && (kept == i || stop)) {
      if (AppEntry *other = m_entries.Find(m_plan.removals[kept].name)) other->operation = AppEntry::None;
      m_plan.removals.removeAt(kept);
    }
    --i;
    if (stop) {
      for (AppEntry &other : m_entries)
        if (other.operation == AppEntry::Add) other.operation = AppEntry::None;
      m_plan.swaps.clear();
      m_plan.retired.clear();
      m_plan.sends.clear();
    }
    if (!RecordPlan()) return 0;
  }
  for (AppEntry &entry : m_entries)
    if (entry.operation == AppEntry::Add) AdoptPackage(entry);
  return 1;
}

// --- carrying the change out ---

int InstallerEngine::WriteMenuFile() {
  // Every package refused and nothing removed: both sides stay as they are.
  QByteArray current;
  const bool unchanged = m_plan.removals.isEmpty() && m_plan.swaps.isEmpty() &&
                         Device::ReadFile(PendantMenuPath(), &current) && current == m_plan.menu;
  const bool nothingToDo = unchanged || (m_plan.menu.isEmpty() && !m_plan.emptied);
  const int done = nothingToDo ? ChangeJournal::Discard(m_workFolder) : FinishChange(m_plan);
  if (!done) m_inLine = false;
  return done;
}

int InstallerEngine::FinishChange(ChangeJournal::Plan &plan) {
  // The pendant first: everything it needs is on its own flash disk.
  for (const ChangeJournal::Removal &removal : plan.removals)
    if (IsUsableFolderName(removal.folder) && !RemoveLocalFolder(QStringLiteral("%1\\%2").arg(m_appFolder, removal.folder)))
      return 0;
  for (const QString &folder : plan.retired)
    if (IsUsableFolderName(folder) && !RemoveLocalFolder(QStringLiteral("%1\\%2").arg(m_appFolder, folder))) return 0;
  if (!plan.emptied && !Device::IsDirectory(m_appFolder)) Device::CreateDirectory(m_appFolder);
  const QString staging = ChangeJournal::StagingFolder(m_workFolder);
  for (const QString &folder : plan.swaps) {
    const QString staged = QStringLiteral("%1\\%2").arg(staging, folder);
    const QString target = QStringLiteral("%1\\%2").arg(m_appFolder, folder);
    if (!Device::Exists(staged)) continue;  // swapped in before an interruption
    // Flushed together by the menu file's write into the same folder below;
    // a swap lost to a power cut before that is redone from the journal.
    if (!RemoveLocalFolder(target) || !Device::MoveFile(staged, target, false))
      return Fail(Outcome::Failure(StatusLevel::Transfer, 3020, 2020, QStringLiteral("error file :(%1)").arg(target)));
  }
  // A folder where the menu file belongs is no application's: left there it
  // would stop this change at every start.
  if (Device::IsDirectory(PendantMenuPath())) RemoveLocalFolder(PendantMenuPath());
  if (plan.emptied) {
    if (!RemoveLocalFolder(m_appFolder)) return 0;
  } else if (!Device::WriteFileAtomically(PendantMenuPath(), plan.menu)) {
    return SaveFailed(PendantMenuPath());  // never sent unless written whole
  }
  if (!FinishOnController(plan)) return 0;
  ChangeJournal::Discard(m_workFolder);
  return 1;
}

int InstallerEngine::FinishOnController(ChangeJournal::Plan &plan) {
  if (plan.emptied) {
    // The operator removed every application: the controller's folder goes.
    for (const ChangeJournal::Removal &removal : plan.removals)
      if (!removal.controllerDone) RemoveKtcAppFile(ArchiveOf(removal.name));
    return ExistKtcAppFolder() ? RemoveKtcAppFolder() : 1;
  }
  if (!CreateKtcAppFolder()) return 0;
  QStringList dropped;
  qint64 bytes = FileBytes(PendantMenuPath());
  for (const ChangeJournal::Archive &archive : plan.sends) bytes += archive.size;
  ProgressMeter meter(m_reporter, QStringLiteral("send"), int(plan.sends.size()) + 1, bytes);
  {
    ControllerConnection controller(m_endpoint, m_ktcFolder);
    if (!Check(controller.Opened(QStringLiteral("DownloadMtcAppFiles")))) return 0;
    controller.SetTransferProgress(meter.Callback());
    for (const ChangeJournal::Removal &removal : plan.removals)
      if (!removal.controllerDone) controller.DiscardFile(ArchiveOf(removal.name));
    QList<QPair<QString, qint64>> sent;
    for (const ChangeJournal::Archive &archive : plan.sends) {
      meter.StartFile(ArchiveOf(archive.name), archive.size);
      switch (SendPlannedArchive(controller, archive)) {
        case ArchiveSent::Failed:
          return 0;
        case ArchiveSent::Incomplete:
          dropped.append(archive.name);
          break;
        case ArchiveSent::Sent:
          sent.append({ArchiveOf(archive.name), archive.size});
          break;
        case ArchiveSent::There:
          break;
      }
    }
    // One listing verifies every archive sent, before the menu file names them.
    if (!Check(controller.Verify(sent))) return 0;
    for (const auto &[file, size] : sent) CountSent(file, size);
  }
  if (!dropped.isEmpty()) {
    // The medium that held them is gone: what the controller cannot serve
    // whole leaves both sides; everything else stays.
    Report(Outcome::Failure(StatusLevel::Transfer, 3011, 2011,
                            QStringLiteral("error file :(%1)").arg(dropped.join(QStringLiteral(", ")))));
    DropFromPlan(plan, dropped);
    if (plan.emptied) return FinishOnController(plan);
  }
  ControllerConnection controller(m_endpoint, m_ktcFolder);
  if (!Check(controller.Opened(QStringLiteral("DownloadMtcAppFiles")))) return 0;
  const QString &menu = MenuFile::kFileName;
  controller.DiscardFile(menu);  // may not be there yet
  meter.StartFile(menu, FileBytes(PendantMenuPath()));
  controller.SetTransferProgress(meter.Callback());
  if (!Check(controller.Send(m_appFolder, menu, m_ktcFolder + menu))) return 0;
  meter.FinishFile();
  CountSent(menu, FileBytes(PendantMenuPath()));
  ShowStatus(StatusLevel::Transfer, LoadString(3023));
  return 1;
}

void InstallerEngine::CountSent(const QString &sentFile, qint64 bytes) {
  m_tally.sent.append(sentFile);
  m_tally.bytesSent += bytes;
}

InstallerEngine::ArchiveSent InstallerEngine::SendPlannedArchive(ControllerConnection &controller,
                                                                 const ChangeJournal::Archive &archive) {
  const QString file = ArchiveOf(archive.name);
  const std::optional<ChangeJournal::Archive> onMedium =
      ChangeJournal::Measure(PackageFiles::PathOf(m_mediaRoot, file), archive.name);
  if (onMedium && onMedium->size == archive.size && onMedium->crc == archive.crc) {
    if (!Check(controller.Put(PackageFiles::FolderOf(m_mediaRoot), file))) return ArchiveSent::Failed;
    ShowStatus(StatusLevel::Transfer, QStringLiteral("(%1) file ftp download complete.").arg(file));
    return ArchiveSent::Sent;
  }
  // Sent whole before the interruption?
  const RemoteFile there = controller.Stat(file);
  if (there.state == RemoteFile::Present && there.size == archive.size) return ArchiveSent::There;
  if (there.state == RemoteFile::Unanswered) {
    Report(Outcome::Failure(StatusLevel::Transfer, 3011, 2011, QStringLiteral("error file :(%1)").arg(file)));
    return ArchiveSent::Failed;
  }
  controller.DiscardFile(file);  // a part of it
  return ArchiveSent::Incomplete;
}

void InstallerEngine::DropFromPlan(ChangeJournal::Plan &plan, const QStringList &names) {
  MenuFile::Reading reading = MenuFile::Read(m_ini, PendantMenuPath(), m_diskRoot);
  std::vector<AppEntry> kept;
  for (AppEntry &entry : reading.entries) {
    if (!names.contains(entry.name)) {
      kept.push_back(std::move(entry));
    } else if (IsUsableFolderName(entry.installed.folder)) {
      RemoveLocalFolder(QStringLiteral("%1\\%2").arg(m_appFolder, entry.installed.folder));
    }
  }
  plan.sends.removeIf([&names](const ChangeJournal::Archive &archive) { return names.contains(archive.name); });
  plan.emptied = kept.empty();
  plan.menu = kept.empty() ? QByteArray() : IniFile::TextBytes(MenuFile::Compose(kept, MenuVersion()));
  if (plan.emptied)
    RemoveLocalFolder(m_appFolder);
  else
    Device::WriteFileAtomically(PendantMenuPath(), plan.menu);
  ChangeJournal::Write(m_workFolder, plan);
}

// --- the controller lost its copy ---

int InstallerEngine::RestoreController() {
  IniFile::Batch batch(m_ini);
  const QList<MenuFile::Registration> registered = MenuFile::Registrations(m_ini, PendantMenuPath());
  if (!CreateKtcAppFolder()) {
    m_inLine = false;
    return 0;
  }
  const QString temporary = TemporaryFolder();
  RemoveLocalFolder(temporary);
  Device::CreateDirectory(temporary);
  int result = 1;
  {
    ControllerConnection controller(m_endpoint, m_ktcFolder);
    result = Check(controller.Opened(QStringLiteral("DownloadMtcAppFiles"))) ? 1 : 0;
    // The archives are packed on the way: only their count is known.
    ProgressMeter meter(m_reporter, QStringLiteral("restore"), int(registered.size()) + 1, 0);
    controller.SetTransferProgress(meter.Callback());
    for (const MenuFile::Registration &app : registered) {
      if (!result) break;
      const QString file = ArchiveOf(app.name);
      const QString packed = QStringLiteral("%1\\%2").arg(temporary, file);
      meter.StartFile(file);
      result = Check(FolderArchive::Pack(QStringLiteral("%1\\%2").arg(m_appFolder, app.folder), packed)) &&
               Check(controller.Send(temporary, file));
      if (result) {
        CountSent(file, FileBytes(packed));
        ShowStatus(StatusLevel::Transfer, QStringLiteral("(%1) file ftp download complete.").arg(file));
      }
      Device::DeleteFile(packed);
    }
    // The menu file last: the controller registers nothing it cannot serve.
    const QString &menu = MenuFile::kFileName;
    meter.StartFile(menu);
    if (result) result = Check(controller.Send(m_appFolder, menu, m_ktcFolder + menu)) ? 1 : 0;
    meter.FinishFile();
    if (result) {
      CountSent(menu, FileBytes(PendantMenuPath()));
      ShowStatus(StatusLevel::Transfer, LoadString(3023));
    }
  }
  RemoveLocalFolder(temporary);
  if (!result) m_inLine = false;
  return result;
}
