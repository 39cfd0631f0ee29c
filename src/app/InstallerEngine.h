#pragma once
// The worker object of the installer: the application list model and every
// file, menu and transfer operation. Operations return 1 for success and 0
// for failure and report their own failures through the view (status line
// and alert) before they return.
#include "app/AlertDialog.h"
#include "files/AppEntry.h"
#include "files/IniFile.h"
#include "ftp/FtpSession.h"

#include <QList>
#include <QString>

class InstallerView;

class InstallerEngine {
 public:
  explicit InstallerEngine(InstallerView *view);
  virtual ~InstallerEngine();
  InstallerEngine(const InstallerEngine &) = delete;
  InstallerEngine &operator=(const InstallerEngine &) = delete;

  // --- the list model ---
  int EntryCount() const { return m_nEntryCount; }
  const QList<AppEntry *> &Entries() const { return m_entries; }
  AppEntry *EntryAt(int index) const;
  void ClearEntries();
  AppEntry *FindEntry(const QString &name) const;
  void SortEntries();
  void SetOperation(int index, int code);
  int GetOperation(int index) const;
  bool HasPendantVersion(int index) const;

  // --- menu file ---
  int ReadMenuFile();
  int ReadSubmenuNames(const QString &path, const QString &section, std::array<SubMenuName, kSubMenuPairs> &pairs);
  int SumRegisteredFileSizes(const QString &path);
  int WriteMenuFile();

  // --- package descriptors on the medium ---
  int ReadInstallDescriptor();
  int ReadPackageDescriptors();
  int ReadPackageDescriptor(AppEntry *entry);
  int AddPackageEntry(const QString &name);
  int PackageFileExists(const QString &fileName);

  // --- space, count and name checks ---
  int RequiredSpace();
  int FreeSpaceKiB(const QString &path);
  int PendingCount();
  int RegisteredAfter();
  int OneTouchNameCheck(AppEntry *entry);

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

  // --- interrupted changes of the pendant's application folder ---
  // While applications are unpacked into the folder and its PP_MENU.INI does
  // not describe them yet, a marker file there says so. Every way out of
  // such a change removes it; only an interruption (a power loss) leaves it,
  // and the next synchronisation then rebuilds the folder from the
  // controller instead of trusting a menu file that matches the controller's.
  void BeginPendantChange();
  void EndPendantChange();
  bool PendantChangeInterrupted() const;

  // --- state the workflow and the views read ---
  QString &MediaRoot() { return m_strMediaRoot; }
  const QString &PendantFolder() const { return m_strAppFolder; }
  const QString &PendantDisk() const { return m_strDiskRoot; }
  const QString &ControllerFolder() const { return m_strKtcFolder; }
  const QString &StatusText() const { return m_strStatus; }
  const QString &DetailText() const { return m_strDetail; }
  AlertDialog &Alert() { return m_alert; }
  IniFile &Ini() { return m_ini; }
  FtpSession &Ftp() { return m_ftp; }
  // The pendant's menu file, "\DiskOnChip\PP_APP\PP_MENU.INI".
  QString PendantMenuPath() const;

 protected:
  // Status line and busy state through the main view (nothing without one).
  void ShowStatus(int level, const QString &text);
  void SetBusy(bool busy);
  // Appends an entry the engine now owns.
  void AppendEntry(AppEntry *entry);
  // The usual failure report: the status text shown at a level, then the
  // alert with the detail as its second line. Returns the operator's answer.
  int Report(int level, const QString &status, int alertId, const QString &detail);
  // Opens the controller session; when it cannot, reports the connect
  // failure of the named operation (status 3012, alert 2012) and says no.
  bool OpenController(const QString &operation);
  // ExistKtcAppFolder with the reason for a "no": the synchronisation must not
  // take an unreachable controller for one without an application folder.
  enum class KtcFolderState { Present, Absent, Unreachable };
  KtcFolderState ProbeKtcAppFolder();

  QList<AppEntry *> m_entries;
  IniFile m_ini;  // holds the last-error record: file, section and key
  QString m_strMediaRoot;
  FtpSession m_ftp;
  AlertDialog m_alert;
  QString m_strKtcFolder;
  QString m_strDiskRoot;
  QString m_strAppFolder;
  QString m_strStatus;
  QString m_strDetail;
  int m_nEntryCount = 0;
};
