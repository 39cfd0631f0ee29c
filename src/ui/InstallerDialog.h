#pragma once
// The installer's only main window: 640 x 480 pixels with the title, the
// application list with its operation editor, the space required and
// available on the pendant, "Option" and "Execute", and the coloured status
// line. It is the view of the workflow stages: their status line, busy state,
// progress and alerts, and the place where the operation editor is moved.
// On the pendant's screen it is bare and fills it; on a larger one (a
// desktop) it is a framed window, and closing it while idle ends the program.
#include "OptionDialog.h"
#include "app/InstallerStages.h"
#include "app/Reporter.h"
#include "app/SessionLog.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <memory>

class AppListCtrl;
class OperationComboBox;
class QLabel;
class QPushButton;
class StatusLine;

class InstallerDialog : public QDialog, public Reporter, public InstallerStages::Hooks {
  Q_OBJECT

 public:
  explicit InstallerDialog(const InstallerSettings &settings, QWidget *parent = nullptr);
  ~InstallerDialog() override;

  // Bare and on top on the pendant's 640 x 480 screen, framed and closable
  // on any larger one.
  static Qt::WindowFlags WindowFlagsFor(const QSize &screen);

  // --- the view of the workflow ---
  void SetBusy(bool busy) override;
  void ShowStatus(StatusLevel level, const QString &text) override;
  int ShowAlert(const AlertRequest &alert) override;
  // Fills the status line behind its text and lets the window paint.
  void ShowProgress(const Progress &progress) override;
  void PlaceOperationEditor(int force) override;

  void RefreshSpace();
  // Rebuilds the rows from the engine's entries (sorted first) and shows the
  // current row selected.
  void RefreshList();
  void OpenOperationEditor();

  // --- commands ---
  void OnExecute();
  void OnClose();
  void OnOption();

  InstallerStages &Stages() { return *m_pStages; }
  AppListCtrl *List() const { return m_lstApps; }
  OperationComboBox *OperationEditor() const { return m_cbOperation; }
  StatusLine *Status() const { return m_stcStatus; }
  QPushButton *ExecuteButton() const { return m_btnExecute; }
  QPushButton *OptionButton() const { return m_btnOption; }
  QPushButton *CloseButton() const { return m_btnClose; }
  QLabel *RequiredValue() const { return m_stcRequired; }
  QLabel *AvailableValue() const { return m_stcAvailable; }
  QLabel *Title() const { return m_stcTitle; }

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  void showEvent(QShowEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void closeEvent(QCloseEvent *event) override;

 private:
  void OnInitDialog();
  void CreateLabel(const QString &text, const QRect &units, Qt::Alignment alignment, bool edge);
  // Keys and clicks seen before the controls get them; true when consumed.
  bool PreTranslateMessage(QWidget *receiver, QEvent *event);
  void OnListPainted();
  void OnOperationChosen(int index);
  void OnOperationClosed();
  void OnListKeyDown(int key);
  // What the pendant does on a repaint of the dialog: the list and the space
  // values are rebuilt from the model. Now, or once the current event is done.
  void RepaintNow();
  void Invalidate();
  // Runs what the window system has for the windows, input left queued, in
  // the middle of a stage.
  void PaintWhileBusy();

  QLabel *m_stcTitle;
  OperationComboBox *m_cbOperation;
  AppListCtrl *m_lstApps;
  StatusLine *m_stcStatus;
  QPushButton *m_btnClose;
  QPushButton *m_btnExecute;
  QPushButton *m_btnOption;
  QLabel *m_stcAvailable;
  QLabel *m_stcRequired;
  QString m_strRequired;
  QString m_strAvailable;
  QString m_strStatus;
  QString m_strTitle;
  OptionDialog m_dlgOption;
  // What the stages show goes through the session log to this dialog.
  SessionLog m_log{SessionLog::DevicePath()};
  LoggedReporter m_logged{*this, m_log};
  std::unique_ptr<InstallerStages> m_pStages;
  bool m_bStarted = false;
  bool m_bRefreshQueued = false;
  // Inside PaintWhileBusy: nothing that reads or changes the engine may run.
  bool m_bPainting = false;
  QList<int> m_arrHeldStages;  // stage messages that arrived meanwhile
  QElapsedTimer m_clkPainted;  // since the window last painted during work
};
