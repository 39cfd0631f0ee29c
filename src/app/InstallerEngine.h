#pragma once
// The facade of the installer's work, called by the workflow stages and both
// front ends. Each operation returns 1 for success and 0 for failure; it asks
// the components below for what it needs, and it alone reports to the
// operator and decides what a failure leads to: which alert, and which
// clean-up.
//
//   InstallerEngine.cpp           reporting, the list model, checks, the menu
//                                 file and the medium's packages
//   InstallerEngineTransfers.cpp  synchronisation, sending, removal and
//                                 installation
#include "app/AlertDialog.h"
#include "app/EntryList.h"
#include "files/IniFile.h"
#include "ftp/FtpEndpoint.h"
#include "platform/Outcome.h"
#include "transfer/ControllerFolder.h"

#include <QString>

class Reporter;

class InstallerEngine {
 public:
  InstallerEngine(Reporter &reporter, const FtpEndpoint &controller);
  InstallerEngine(const InstallerEngine &) = delete;
  InstallerEngine &operator=(const InstallerEngine &) = delete;

  // --- the list model ---
  EntryList &Entries() { return m_entries; }
  const EntryList &Entries() const { return m_entries; }
  int EntryCount() const { return m_entries.Count(); }
  AppEntry *EntryAt(int index) { return m_entries.At(index); }
  AppEntry *FindEntry(const QString &name) { return m_entries.Find(name); }
  void ClearEntries() { m_entries.Clear(); }
  void SortEntries() { m_entries.Sort(); }
  void SetOperation(int index, int code) { m_entries.SetOperation(index, code); }
  int GetOperation(int index) const;
  bool HasPendantVersion(int index) const;

  // --- the menu file ---
  int ReadMenuFile();
  int WriteMenuFile();

  // --- packages on the medium ---
  int ReadInstallDescriptor();
  int ReadPackageDescriptors();
  int ReadPackageDescriptor(AppEntry &entry);
  int AddPackageEntry(const QString &name);

  // --- space, count and name checks ---
  int RequiredSpace() const;
  int FreeSpaceKiB(const QString &path) const;
  int PendingCount() const { return m_entries.PendingCount(); }
  int RegisteredAfter() const { return m_entries.RegisteredAfter(); }
  int OneTouchNameCheck(const AppEntry &entry);

  // --- removal ---
  int RemoveApps();
  int RemoveAllAppFiles();
  int ExistKtcAppFolder();
  int RemoveKtcAppFolder();
  int RemoveKtcAppFile(const QString &fileName);
  int RemoveLocalFolder(const QString &path);

  // --- extraction and installation ---
  int UnzipAppFile(const QString &archivePath, const QString &folderName);
  int InstallOnPendant();

  // --- synchronisation with the controller ---
  int SyncMenuWithController();
  int UploadKtcAppFile(const QString &localFolder, const QString &fileName);
  int UploadKtcAppFiles();

  // --- sending to the controller ---
  int CreateKtcAppFolder();
  int DownloadMtcAppFiles();

  // --- places ---
  void SetMediaRoot(const QString &root) { m_mediaRoot = root; }
  const QString &MediaRoot() const { return m_mediaRoot; }
  const QString &PendantFolder() const { return m_appFolder; }
  QString PendantMenuPath() const;

 private:
  void ShowStatus(StatusLevel level, const QString &text);
  void SetBusy(bool busy);
  // An alert whose detail becomes the engine's detail text, which the
  // downgrade question repeats.
  int ShowAlert(int alertId, const QString &detail);
  // The usual failure report: the status line, then the alert; the answer.
  int Report(const Outcome &failure);
  // Reports a failure; true for success.
  bool Check(const Outcome &outcome);
  int Fail(const Outcome &failure) {
    Report(failure);
    return 0;
  }
  // The pendant's menu file cannot be trusted: report, forget the list and
  // delete the application folders on both sides.
  int InstallationDamaged(const Outcome &failure);
  // A descriptor or the install list failed to read: the format error with
  // the last-error record's section and key.
  int DescriptorFailure(const QString &statusFile, const QString &detailFile, bool shortDetail);
  // Whether the controller holds its folder; says so when it cannot be asked.
  ControllerFolderState ProbeController();
  // Where fetched files wait: the medium's PP_APP\TEMP, not the small flash disk.
  QString TemporaryFolder() const;

  Reporter &m_reporter;
  FtpEndpoint m_endpoint;
  AlertDialog m_alert;  // its button settings carry over from alert to alert
  EntryList m_entries;
  IniFile m_ini;  // with the last-error record: file, section and key
  QString m_detail;
  QString m_mediaRoot;
  const QString m_ktcFolder;
  const QString m_diskRoot;
  const QString m_appFolder;
};
