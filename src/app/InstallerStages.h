#pragma once
// The installation workflow: the stages that run one after another on the
// user-interface thread, each the handler of a posted event, so that the
// busy state is shown before a long stage starts. Holds the workflow state
// that the main dialog keeps (engine, space figures, current row, the
// placement-pending flag and the option-changed mark); the Qt dialog and the
// headless front end are two views of it.
#include "app/InstallerApp.h"
#include "app/RunSummary.h"
#include "platform/Outcome.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <memory>

class InstallerEngine;
class Reporter;

// Posted event types; the numbers are those of the pendant's window messages.
enum InstallerMessage {
  WM_INSTALLER_START = 0x8100,
  WM_INSTALLER_RELOAD = 0x8101,
  WM_INSTALLER_EXECUTE = 0x8102,
};

class InstallerStages : public QObject {
  Q_OBJECT

 public:
  // What a view does beyond the Reporter.
  class Hooks {
   public:
    virtual ~Hooks() = default;
    // Re-place the operation editor over the selected row (the GUI's list).
    virtual void PlaceOperationEditor(int /*force*/) {}
  };

  InstallerStages(Reporter &reporter, const InstallerSettings &settings, Hooks *hooks = nullptr,
                  QObject *parent = nullptr);
  ~InstallerStages() override;

  // Posts a stage message (start, reload, execute) to this object; the
  // stage runs when the event loop gets to it.
  void Post(int message);
  // True while a posted stage has not run yet.
  bool HasPendingStage() const { return m_nPending > 0; }
  // Runs posted stages until none is waiting, as an event loop would.
  void RunPendingStages();

  // The "Execute" command: busy, then the execute stage is posted.
  void ExecuteCommand();
  // Runs a stage at once (the event handler calls these).
  void OnStart();
  void OnReload();
  void OnExecute();

  InstallerEngine *Engine() const { return m_pEngine.get(); }
  int RequiredKiB() const { return m_nRequiredKiB; }
  int AvailableKiB() const { return m_nAvailableKiB; }
  int RemainingKiB() const { return m_nRemainingKiB; }
  // The space figures as the dialog shows them on every repaint; nothing
  // changes while there is no engine.
  void RefreshSpace();

  int &CurrentRow() { return m_nCurrentRow; }
  int &PlacementPending() { return m_nPlacementPending; }
  int &OptionChanged() { return m_nOptionChanged; }

  static QString Title();  // "QN350 Application Installer  (Ver 1.00)"

 protected:
  bool event(QEvent *event) override;

 private:
  // Begins a stage's summary: what the pendant holds now, and the clock.
  void BeginSummary();
  // Ends it: compared with what the pendant holds now, told to the view.
  RunSummary EndSummary(const QString &stage);
  // An alert of the stages themselves, with the default buttons.
  void Alert(StatusLevel level, const QString &status, int alertId, const QString &detail);

  Reporter &m_reporter;
  InstallerSettings m_settings;
  Hooks *m_pHooks;
  Hooks m_noHooks;
  std::unique_ptr<InstallerEngine> m_pEngine;
  int m_nRequiredKiB = 0;
  int m_nAvailableKiB = 0;
  int m_nRemainingKiB = 0;
  int m_nCurrentRow = 0;
  int m_nPlacementPending = 1;
  int m_nOptionChanged = 0;
  int m_nPending = 0;
  InstalledVersions m_before;
  QElapsedTimer m_clock;
};
