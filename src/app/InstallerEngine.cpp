#include "InstallerEngine.h"

#include "Reporter.h"
#include "StringTable.h"
#include "files/MenuFile.h"
#include "files/PackageFiles.h"
#include "platform/Device.h"
#include "transfer/PendantFolder.h"

#include <QFileInfo>

namespace {

// U+3000, the ideographic space the pendant puts before "section:".
const QString kWideSpace = QString(QChar(0x3000));

}  // namespace

InstallerEngine::InstallerEngine(Reporter &reporter, const FtpEndpoint &controller)
    : m_reporter(reporter),
      m_endpoint(controller),
      m_alert(reporter),
      m_ktcFolder(LoadString(4008)),
      m_diskRoot(LoadString(4009)),
      m_appFolder(LoadString(4012)),
      m_workFolder(LoadString(4009) + QStringLiteral("PP_WORK")) {}

qint64 InstallerEngine::FileBytes(const QString &cePath) {
  const auto host = Device::MapPath(cePath);
  return host ? QFileInfo(*host).size() : 0;
}

InstalledVersions InstallerEngine::InstalledOnPendant() {
  InstalledVersions versions;
  IniFile ini;  // the last-error record of the engine's own reads stays
  const MenuFile::Reading reading = MenuFile::Read(ini, PendantMenuPath(), m_diskRoot, true);
  for (const AppEntry &entry : reading.entries) versions.insert(entry.name, entry.installed.appVersion);
  return versions;
}

QString InstallerEngine::PendantMenuPath() const {
  return QStringLiteral("%1\\%2").arg(m_appFolder, MenuFile::kFileName);
}

QString InstallerEngine::TemporaryFolder() const {
  return QStringLiteral("%1\\%2").arg(PackageFiles::FolderOf(m_mediaRoot), QStringLiteral("TEMP"));
}

// --- reporting ---

void InstallerEngine::ShowStatus(StatusLevel level, const QString &text) { m_reporter.ShowStatus(level, text); }

void InstallerEngine::SetBusy(bool busy) { m_reporter.SetBusy(busy); }

int InstallerEngine::ShowAlert(int alertId, const QString &detail, bool twoButtons) {
  m_detail = detail;
  if (twoButtons) m_alert.SetButtonState(AlertDialog::kSecondButton, 1);
  return m_alert.ShowAlert(alertId, m_detail);
}

int InstallerEngine::Report(const Outcome &failure) {
  const QString status = failure.statusId ? LoadString(failure.statusId) : failure.statusText;
  if (!failure.reason.isEmpty()) m_reporter.RecordDetail(failure.reason);
  if (!status.isEmpty()) ShowStatus(failure.level, status);
  return failure.alertId ? ShowAlert(failure.alertId, failure.detail) : Reporter::kFirstButton;
}

int InstallerEngine::SaveFailed(const QString &path) {
  return Fail(Outcome::Failure(StatusLevel::Error, 3014, 2014, QStringLiteral("Failed to save the file. :(%1)").arg(path)));
}

bool InstallerEngine::Check(const Outcome &outcome) {
  if (!outcome) Report(outcome);
  return outcome.ok;
}

int InstallerEngine::InstallationDamaged(const Outcome &failure) {
  Report(failure);
  m_entries.Clear();
  m_inLine = false;
  // The controller's copy is the master: without a menu file here the next
  // start unpacks everything again from there.
  Device::DeleteFile(PendantMenuPath());
  return 0;
}

// --- the list model ---

int InstallerEngine::GetOperation(int index) const {
  const AppEntry *entry = m_entries.At(index);
  return entry ? entry->operation : AppEntry::None;
}

bool InstallerEngine::HasPendantVersion(int index) const {
  const AppEntry *entry = m_entries.At(index);
  return entry && !entry->installed.appVersion.isEmpty();
}

// --- checks ---

int InstallerEngine::RequiredSpace() const { return m_entries.RequiredSpace(Device::Exists(PendantMenuPath())); }

int InstallerEngine::FreeSpaceKiB(const QString &path) const { return PendantFolder::FreeSpaceKiB(path); }

int InstallerEngine::OneTouchNameCheck(const AppEntry &entry) {
  const std::optional<QString> longest = OneTouchNameTooLong(entry);
  if (!longest) return 1;
  m_alert.SetButtonState(AlertDialog::kFirstButton, 1);
  m_alert.SetButtonState(AlertDialog::kSecondButton, 1);
  m_alert.SetYesNoCaptions(1);
  // The question's own detail; the engine's detail text stays as it was.
  const int answer = m_alert.ShowAlert(2023, QStringLiteral("Error name ---> (%1)").arg(*longest));
  return answer == Reporter::kSecondButton ? 0 : 1;
}

// --- the menu file ---

int InstallerEngine::ReadMenuFile() {
  m_entries.Clear();
  m_ini.ClearLastError();
  m_detail.clear();
  const QString path = PendantMenuPath();
  MenuFile::Reading reading = MenuFile::Read(m_ini, path, m_diskRoot);
  for (const QString &name : reading.sectionsRead) ShowStatus(StatusLevel::Info, QStringLiteral("%1 section read.").arg(name));
  using Result = MenuFile::Reading::Result;
  switch (reading.result) {
    case Result::Read:
      m_entries.Assign(std::move(reading.entries));
      return 1;
    case Result::Absent:
      ShowStatus(StatusLevel::Transfer, LoadString(3024));
      return 1;
    case Result::BadCount:
      return InstallationDamaged(
          Outcome::Failure(StatusLevel::Transfer, 3024, 2008, QStringLiteral("error file :(%1)").arg(path)));
    case Result::MissingExecutable:
      return InstallationDamaged(Outcome::Failure(StatusLevel::Error, 3018, 2018, LoadString(3018)));
    case Result::FormatError:
      break;
  }
  return InstallationDamaged(
      Outcome::Failure(StatusLevel::Error, 3008, 2008, QStringLiteral("error file :(%1)").arg(path)));
}

// --- packages on the medium ---

int InstallerEngine::ReadPackageDescriptor(AppEntry &entry) {
  const PackageFiles::Descriptor descriptor = PackageFiles::ReadDescriptor(m_ini, m_mediaRoot, entry.name);
  if (descriptor.record) entry.package = *descriptor.record;
  return descriptor.complete ? 1 : 0;
}

int InstallerEngine::DescriptorFailure(const QString &statusFile, const QString &detailFile, bool shortDetail) {
  const QString status = QStringLiteral("%1 %2 (section:%3 entry:%4)")
                             .arg(LoadString(3009), statusFile, m_ini.errorSection, m_ini.errorKey);
  const QString detail = shortDetail ? QStringLiteral("error file :(%1)").arg(detailFile)
                                     : QStringLiteral("error file :(%1)%2section:%3 entry:%4")
                                           .arg(detailFile, kWideSpace, m_ini.errorSection, m_ini.errorKey);
  return Fail(Outcome::Failure(StatusLevel::Error, status, 2009, detail));
}

int InstallerEngine::ReadInstallDescriptor() {
  m_detail.clear();
  m_ini.ClearLastError();
  const PackageFiles::InstallList list = PackageFiles::ReadInstallList(m_ini, m_mediaRoot);
  IniFile::Batch batch(m_ini);
  for (const QString &name : list.names) {
    const QString descriptor = name + QStringLiteral(".INI");
    if (!PackageFiles::Exists(m_mediaRoot, descriptor) || !PackageFiles::Exists(m_mediaRoot, name + QStringLiteral(".ZIP")))
      return Fail(Outcome::Failure(StatusLevel::Error, 3013, 2013, QStringLiteral("error file :(%1)").arg(name)));
    if (AppEntry *entry = m_entries.Find(name)) {
      if (!ReadPackageDescriptor(*entry)) return DescriptorFailure(m_ini.errorPath, descriptor, false);
      entry->operation = AppEntry::Add;
      continue;
    }
    AppEntry entry;
    entry.name = name;
    entry.operation = AppEntry::Add;
    // A package not yet listed is named without its section and key.
    if (!ReadPackageDescriptor(entry)) return DescriptorFailure(m_ini.errorPath, descriptor, true);
    m_entries.Append(std::move(entry));
  }
  if (!list.badKey.isEmpty()) {
    m_ini.SetLastError(PackageFiles::PathOf(m_mediaRoot, PackageFiles::kInstallList), PackageFiles::kListSection,
                       list.badKey);
    return DescriptorFailure(PackageFiles::kInstallList, PackageFiles::kInstallList, false);
  }
  return 1;
}

int InstallerEngine::ReadPackageDescriptors() {
  m_detail.clear();
  m_ini.ClearLastError();
  const QString pattern = PackageFiles::DescriptorPattern(m_mediaRoot);
  const std::optional<QList<PackageFiles::Listed>> listed = PackageFiles::Descriptors(m_mediaRoot);
  if (!listed) {
    m_entries.Clear();
    Report(Outcome::Failure(StatusLevel::Error, 3004, 2004, QStringLiteral("error file :(%1)").arg(pattern)));
    return 1;
  }
  IniFile::Batch batch(m_ini);
  for (const auto &[index, name] : *listed) {
    ShowStatus(StatusLevel::Info, QStringLiteral("%1.ini file read complete.").arg(name));
    AppEntry *entry = m_entries.Find(name);
    // A bad descriptor costs its own package, never the registered list.
    if (!entry) {
      AddPackageEntry(name);
      continue;
    }
    // The pendant names the search pattern when the first file found fails.
    if (!ReadPackageDescriptor(*entry)) {
      entry->package = AppRecord();
      if (entry->operation == AppEntry::Add) entry->operation = AppEntry::None;
      Fail(Outcome::Failure(StatusLevel::Error, 3009, 2009,
                            QStringLiteral("error file :(%1)").arg(index == 0 ? pattern : name)));
    }
  }
  return 1;
}

int InstallerEngine::AddPackageEntry(const QString &name) {
  AppEntry entry;
  entry.name = name;
  if (!ReadPackageDescriptor(entry)) {
    const QString status = QStringLiteral("%1 %2 (section:%3 entry:%4)")
                               .arg(LoadString(3009), m_ini.errorPath, m_ini.errorSection, m_ini.errorKey);
    const QString detail = QStringLiteral("error file :(%1.ini)%2section:%3 entry:%4")
                               .arg(name, kWideSpace, m_ini.errorSection, m_ini.errorKey);
    return Fail(Outcome::Failure(StatusLevel::Error, status, 2009, detail));
  }
  m_entries.Append(std::move(entry));
  return 1;
}
