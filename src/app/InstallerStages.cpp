#include "InstallerStages.h"

#include "AlertDialog.h"
#include "InstallerEngine.h"
#include "InstallerView.h"
#include "StringTable.h"
#include "platform/Device.h"

#include <QCoreApplication>
#include <new>

InstallerStages::InstallerStages(InstallerView *view, int mediumKind, Hooks *hooks, QObject *parent)
    : QObject(parent), m_pView(view), m_pHooks(hooks ? hooks : &m_noHooks), m_nMediumKind(mediumKind) {
  // The stages' own alerts need the view before any engine exists.
  SetMainView(view);
}

InstallerStages::~InstallerStages() {
  m_pEngine.reset();
  if (MainView() == m_pView) SetMainView(nullptr);
}

QString InstallerStages::Title() {
  return QStringLiteral("QN350 Application Installer") + QStringLiteral("  (Ver ") + LoadString(1) + u'.' +
         LoadString(2) + u')';
}

void InstallerStages::Post(int message, qintptr wParam, qintptr lParam) {
  ++m_nPending;
  QCoreApplication::postEvent(this, new InstallerEvent(message, wParam, lParam));
}

bool InstallerStages::event(QEvent *event) {
  switch (static_cast<int>(event->type())) {
    case WM_INSTALLER_START:
      --m_nPending;
      OnStart();
      return true;
    case WM_INSTALLER_RELOAD:
      --m_nPending;
      OnReload();
      return true;
    case WM_INSTALLER_EXECUTE:
      --m_nPending;
      OnExecute();
      return true;
    default:
      return QObject::event(event);
  }
}

void InstallerStages::SetBusy(bool busy) {
  if (m_pView) m_pView->SetBusy(busy);
}

void InstallerStages::ShowStatus(int level, const QString &text) {
  if (m_pView) m_pView->ShowStatus(level, text);
}

void InstallerStages::ExecuteCommand() {
  if (!m_pEngine) return;
  SetBusy(true);
  Post(WM_INSTALLER_EXECUTE);
}

void InstallerStages::OnStart() {
  SetBusy(true);
  m_pEngine.reset(new (std::nothrow) InstallerEngine(m_pView));
  if (!m_pEngine) {
    ShowStatus(0, LoadString(3014));
    AlertDialog alert;
    alert.ShowAlert(2014, QString());
    SetBusy(false);
    return;
  }
  InstallerEngine &engine = *m_pEngine;
  if (m_nMediumKind == 1)
    engine.MediaRoot() = LoadString(4010);
  else if (m_nMediumKind == 2)
    engine.MediaRoot() = LoadString(4011);

  if (engine.MediaRoot().isEmpty() || !Device::IsDirectory(engine.MediaRoot())) {
    ShowStatus(0, LoadString(3026));
    const QString detail = QStringLiteral("Error media ---> %1").arg(engine.MediaRoot());
    AlertDialog alert;
    alert.ShowAlert(2026, detail);
    SetBusy(false);
    return;
  }

  if (!engine.SyncMenuWithController()) {
    // The read stage reads the pendant's copy instead; busy until it is done.
    Post(WM_INSTALLER_RELOAD);
    return;
  }
  engine.ReadMenuFile();
  if (engine.ReadInstallDescriptor() && !engine.ReadPackageDescriptors()) engine.ClearEntries();
  SetBusy(false);
}

void InstallerStages::OnReload() {
  if (!m_pEngine) return;
  SetBusy(true);
  InstallerEngine &engine = *m_pEngine;
  if (engine.ReadMenuFile() && engine.ReadInstallDescriptor() && !engine.ReadPackageDescriptors())
    engine.ClearEntries();
  SetBusy(false);
}

void InstallerStages::OnExecute() {
  if (!m_pEngine) {
    SetBusy(false);
    return;
  }
  InstallerEngine &engine = *m_pEngine;
  m_nRequiredKiB = engine.RequiredSpace();
  m_nAvailableKiB = engine.FreeSpaceKiB(engine.PendantFolder());

  bool wrote = false;  // reached the step that re-reads the descriptors
  if (m_nRequiredKiB > m_nAvailableKiB) {
    const QString detail = QString::asprintf(" Memory space size:%d < application size:%d", m_nAvailableKiB, m_nRequiredKiB);
    ShowStatus(0, LoadString(3003) + detail);
    AlertDialog alert;
    alert.ShowAlert(2003, detail);
  } else if (engine.PendingCount() > 0) {
    const int registered = engine.RegisteredAfter();
    if (registered > 32) {
      ShowStatus(0, LoadString(3002));
      AlertDialog alert;
      alert.ShowAlert(2002, QStringLiteral("Total add files. (=%1)").arg(registered));
    } else {
      wrote = true;
      if (engine.RemoveApps()) {
        // Unpacking replaces folders that the menu file still describes; a
        // power loss in between must not leave them trusted.
        engine.BeginPendantChange();
        const int installed = engine.InstallOnPendant();
        engine.EndPendantChange();
        if (installed) {
          if (engine.WriteMenuFile()) {
            m_nPlacementPending = 1;
            engine.ReadMenuFile();
          } else {
            engine.ClearEntries();
          }
        }
      }
    }
  } else if (m_nOptionChanged != 0) {
    m_nOptionChanged = 0;
    wrote = true;
    if (engine.WriteMenuFile()) {
      m_nPlacementPending = 1;
      engine.ReadMenuFile();
    } else {
      engine.ClearEntries();
    }
  }

  if (wrote) {
    if (engine.ReadPackageDescriptors())
      m_pHooks->PlaceOperationEditor(1);
    else
      engine.ClearEntries();
  }
  SetBusy(false);
}

void InstallerStages::RefreshSpace() {
  if (!m_pEngine) return;
  m_nRequiredKiB = m_pEngine->RequiredSpace();
  m_nAvailableKiB = m_pEngine->FreeSpaceKiB(m_pEngine->PendantFolder());
  m_nRemainingKiB = SaturatedKiB(qint64(m_nAvailableKiB) - m_nRequiredKiB);
}
