#pragma once
// The facade of the installer's work, called by the workflow stages and both
// front ends. Each operation returns 1 for success and 0 for failure; it asks
// the components below for what it needs, and it alone reports to the
// operator and decides what a failure leads to: which alert, and which
// clean-up.
//
//   InstallerEngine.cpp           reporting, the list model, checks, the menu
//                                 file and the medium's packages
//   InstallerEngineTransfers.cpp  synchronisation with the controller and the
//                                 rebuild of the pendant from it
//   InstallerEngineChange.cpp     an Execute: unpacking aside, the journal,
//                                 removal, and carrying the change out on
//                                 both sides (again at the next start when
//                                 it was interrupted)
#include "app/AlertDialog.h"
#include "app/EntryList.h"
#include "app/RunSummary.h"
#include "files/IniFile.h"
#include "ftp/FtpEndpoint.h"
#include "platform/Outcome.h"
#include "transfer/ChangeJournal.h"
#include "transfer/ControllerFolder.h"

#include <QString>

class ProgressMeter;
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

  // --- an Execute, in this order ---
  // Unpacks the marked packages aside and checks them; nothing installed
  // changes. 0 when nothing can be unpacked at all.
  int InstallOnPendant();
  // Records the change in the journal, then deletes the removed
  // applications' archives on the controller, asking what to do when one
  // cannot be deleted.
  int RemoveApps();
  // Carries the recorded change out: the pendant's folders and menu file,
  // then the archives and the menu file on the controller.
  int WriteMenuFile();
  // Whether the pendant was found in line with the controller at this start
  // (or works alone because the controller did not answer): otherwise an
  // Execute would send a menu file that describes neither side.
  bool InLine() const { return m_inLine; }

  // --- removal ---
  int RemoveAllAppFiles();
  int ExistKtcAppFolder();
  int RemoveKtcAppFolder();
  int RemoveKtcAppFile(const QString &fileName);
  int RemoveLocalFolder(const QString &path);

  // --- extraction ---
  int UnzipAppFile(const QString &archivePath, const QString &parentFolder, const QString &folderName,
                   ProgressMeter *meter = nullptr);

  // --- synchronisation with the controller ---
  int SyncMenuWithController();
  int UploadKtcAppFile(const QString &localFolder, const QString &fileName);

  // --- sending to the controller ---
  int CreateKtcAppFolder();

  // --- what a stage did ---
  // Starts counting the files sent and fetched, for the stage's summary.
  void StartTally() { m_tally = RunSummary(); }
  const RunSummary &Tally() const { return m_tally; }
  // The registered applications as the pendant's menu file lists them.
  InstalledVersions InstalledOnPendant();

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
  int ShowAlert(int alertId, const QString &detail, bool twoButtons = false);
  // The usual failure report: the status line, then the alert; the answer.
  int Report(const Outcome &failure);
  // Reports a failure; true for success.
  bool Check(const Outcome &outcome);
  int Fail(const Outcome &failure) {
    Report(failure);
    return 0;
  }
  // A file on the pendant could not be written whole (the flash disk is full).
  int SaveFailed(const QString &path);
  // The pendant's menu file cannot be trusted: report, forget the list and
  // the menu file, so that the next start rebuilds the pendant from the
  // controller; nothing is sent until then.
  int InstallationDamaged(const Outcome &failure);
  // The menu file the plan leads to, composed from the list with the marks
  // carried out, and the journal written with it.
  bool RecordPlan();
  // Carries a recorded change out on both sides and removes the journal;
  // 0 (reported) when the controller could not take all of it, and the
  // journal stays for the next start.
  int FinishChange(ChangeJournal::Plan &plan);
  // The controller's half of FinishChange.
  int FinishOnController(ChangeJournal::Plan &plan);
  // Sends one archive the plan names (verified later, with the others), or
  // finds it there already, whole. Incomplete: the medium no longer holds it
  // and the controller's copy is not whole.
  enum class ArchiveSent { Sent, There, Incomplete, Failed };
  ArchiveSent SendPlannedArchive(ControllerConnection &controller, const ChangeJournal::Archive &archive);
  // Takes applications out of the planned menu file and off the pendant.
  void DropFromPlan(ChangeJournal::Plan &plan, const QStringList &names);
  // The controller holds no menu file while the pendant has applications:
  // restore them to it, or delete the pendant's copy as the operator says.
  // folderThere: the controller has its folder, without a menu file.
  int ControllerLostItsCopy(bool folderThere);
  int RestoreController();
  // Rebuilds the pendant aside from the controller's menu file and archives,
  // then swaps it in whole.
  int RebuildFromController(const QString &fetchedMenu);
  static qint64 FileBytes(const QString &cePath);
  // A file the controller now holds, for the summary.
  void CountSent(const QString &sentFile, qint64 bytes);
  QString WorkPath(const QString &name) const { return ChangeJournal::PathIn(m_workFolder, name); }
  // A descriptor or the install list failed to read: the format error with
  // the last-error record's section and key.
  int DescriptorFailure(const QString &statusFile, const QString &detailFile, bool shortDetail);
  // Whether the controller holds its folder; says so when it cannot be asked.
  ControllerFolderState ProbeController();
  // Where fetched files wait: the medium's PP_APP\TEMP, not the small flash disk.
  QString TemporaryFolder() const;

  Reporter &m_reporter;
  FtpEndpoint m_endpoint;
  AlertDialog m_alert;
  EntryList m_entries;
  ChangeJournal::Plan m_plan;
  RunSummary m_tally;
  bool m_inLine = true;
  IniFile m_ini;  // with the last-error record: file, section and key
  QString m_detail;
  QString m_mediaRoot;
  const QString m_ktcFolder;
  const QString m_diskRoot;
  const QString m_appFolder;
  const QString m_workFolder;  // the journal and what is unpacked aside
};
