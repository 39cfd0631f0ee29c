#include "InstallerStages.h"

#include "AlertDialog.h"
#include "InstallerEngine.h"
#include "Reporter.h"
#include "StringTable.h"
#include "platform/Device.h"

#include <QCoreApplication>

InstallerStages::InstallerStages(Reporter &reporter, const InstallerSettings &settings, Hooks *hooks, QObject *parent)
    : QObject(parent), m_reporter(reporter), m_settings(settings), m_pHooks(hooks ? hooks : &m_noHooks) {}

InstallerStages::~InstallerStages() = default;

QString InstallerStages::Title() {
  return QStringLiteral("QN350 Application Installer") + QStringLiteral("  (Ver ") + LoadString(1) + u'.' +
         LoadString(2) + u')';
}

void InstallerStages::Post(int message) {
  ++m_nPending;
  QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(message)));
}

void InstallerStages::RunPendingStages() {
  while (HasPendingStage()) QCoreApplication::sendPostedEvents(nullptr, 0);
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

void InstallerStages::Alert(StatusLevel level, const QString &status, int alertId, const QString &detail) {
  m_reporter.ShowStatus(level, status);
  AlertDialog(m_reporter).ShowAlert(alertId, detail);
}

void InstallerStages::BeginSummary() {
  m_clock.start();
  m_pEngine->StartTally();
  m_before = m_pEngine->InstalledOnPendant();
}

RunSummary InstallerStages::EndSummary(const QString &stage) {
  RunSummary summary = m_pEngine->Tally();
  summary.stage = stage;
  summary.milliseconds = m_clock.elapsed();
  m_clock.invalidate();
  CompareInstalled(m_before, m_pEngine->InstalledOnPendant(), &summary);
  m_reporter.ShowSummary(summary);
  return summary;
}

void InstallerStages::ExecuteCommand() {
  if (!m_pEngine) return;
  m_reporter.SetBusy(true);
  Post(WM_INSTALLER_EXECUTE);
}

void InstallerStages::OnStart() {
  m_reporter.SetBusy(true);
  m_pEngine = std::make_unique<InstallerEngine>(m_reporter, m_settings.controller);
  InstallerEngine &engine = *m_pEngine;
  if (m_settings.mediumKind == 1)
    engine.SetMediaRoot(LoadString(4010));
  else if (m_settings.mediumKind == 2)
    engine.SetMediaRoot(LoadString(4011));

  if (engine.MediaRoot().isEmpty() || !Device::IsDirectory(engine.MediaRoot())) {
    Alert(StatusLevel::Error, LoadString(3026), 2026, QStringLiteral("Error media ---> %1").arg(engine.MediaRoot()));
    m_reporter.SetBusy(false);
    return;
  }

  BeginSummary();
  if (!engine.SyncMenuWithController()) {
    // The read stage reads the pendant's copy instead; busy until it is done.
    Post(WM_INSTALLER_RELOAD);
    return;
  }
  engine.ReadMenuFile();
  if (engine.ReadInstallDescriptor() && !engine.ReadPackageDescriptors()) engine.ClearEntries();
  EndSummary(QStringLiteral("start-up"));
  m_reporter.SetBusy(false);
}

void InstallerStages::OnReload() {
  if (!m_pEngine) return;
  m_reporter.SetBusy(true);
  InstallerEngine &engine = *m_pEngine;
  if (engine.ReadMenuFile() && engine.ReadInstallDescriptor() && !engine.ReadPackageDescriptors())
    engine.ClearEntries();
  // The read stage ends a start-up whose synchronisation failed.
  if (m_clock.isValid()) EndSummary(QStringLiteral("start-up"));
  m_reporter.SetBusy(false);
}

void InstallerStages::OnExecute() {
  if (!m_pEngine) {
    m_reporter.SetBusy(false);
    return;
  }
  InstallerEngine &engine = *m_pEngine;
  m_nRequiredKiB = engine.RequiredSpace();
  m_nAvailableKiB = engine.FreeSpaceKiB(engine.PendantFolder());

  // Whether a change was tried: the list is read again from what is installed.
  bool tried = false;
  const auto change = [&] {
    tried = true;
    BeginSummary();
    if (engine.InstallOnPendant() && engine.RemoveApps() && engine.WriteMenuFile()) m_nPlacementPending = 1;
  };
  const bool wanted = engine.PendingCount() > 0 || m_nOptionChanged != 0;
  if (wanted && !engine.InLine()) {
    // A menu file composed now would describe neither side.
    Alert(StatusLevel::Error, LoadString(3028), 2028, QString());
  } else if (m_nRequiredKiB > m_nAvailableKiB) {
    const QString detail = QString::asprintf(" Memory space size:%d < application size:%d", m_nAvailableKiB, m_nRequiredKiB);
    Alert(StatusLevel::Error, LoadString(3003) + detail, 2003, detail);
  } else if (engine.PendingCount() > 0) {
    const int registered = engine.RegisteredAfter();
    if (registered > 32) {
      Alert(StatusLevel::Error, LoadString(3002), 2002, QStringLiteral("Total add files. (=%1)").arg(registered));
    } else {
      change();
    }
  } else if (m_nOptionChanged != 0) {
    m_nOptionChanged = 0;
    change();
  }

  if (tried) {
    // Whatever happened, the list shows what the pendant now holds.
    engine.ReadMenuFile();
    if (engine.ReadPackageDescriptors())
      m_pHooks->PlaceOperationEditor(1);
    else
      engine.ClearEntries();
    // The last word of an Execute: what it did, whatever came before.
    m_reporter.ShowStatus(StatusLevel::Info, SummaryText(EndSummary(QStringLiteral("execute"))));
  }
  m_reporter.SetBusy(false);
}

void InstallerStages::RefreshSpace() {
  if (!m_pEngine) return;
  m_nRequiredKiB = m_pEngine->RequiredSpace();
  m_nAvailableKiB = m_pEngine->FreeSpaceKiB(m_pEngine->PendantFolder());
  m_nRemainingKiB = SaturatedKiB(qint64(m_nAvailableKiB) - m_nRequiredKiB);
}
