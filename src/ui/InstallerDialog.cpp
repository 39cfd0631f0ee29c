#include "InstallerDialog.h"

#include "AlertWindow.h"
#include "AppListCtrl.h"
#include "DialogUnits.h"
#include "OperationComboBox.h"
#include "StatusLine.h"
#include "UiFonts.h"
#include "WaitCursor.h"
#include "app/InstallerEngine.h"
#include "app/ListRows.h"
#include "app/OptionCommand.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>

namespace {

// The pendant's screen; anything larger is a desktop.
constexpr QSize kPendantScreen(640, 480);
// How often the window paints while a stage reports progress: often enough
// for the fill to move smoothly, rarely enough to cost the work nothing.
constexpr int kPaintIntervalMs = 30;

bool IsStageMessage(const QEvent *event) {
  const int type = event->type();
  return type == WM_INSTALLER_START || type == WM_INSTALLER_RELOAD || type == WM_INSTALLER_EXECUTE;
}

bool IsEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

bool IsKeyEvent(const QEvent *event) {
  return event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease ||
         event->type() == QEvent::ShortcutOverride;
}

QLabel *MakeValue(QWidget *parent) {
  auto *value = new QLabel(QStringLiteral("0"), parent);
  value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return value;
}

QPushButton *MakeButton(const QString &text, QWidget *parent) {
  auto *button = new QPushButton(text, parent);
  // Enter never presses a button of this dialog.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace

Qt::WindowFlags InstallerDialog::WindowFlagsFor(const QSize &screen) {
  if (screen.width() > kPendantScreen.width() || screen.height() > kPendantScreen.height())
    return Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  return Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
}

InstallerDialog::InstallerDialog(const InstallerSettings &settings, QWidget *parent)
    : QDialog(parent, WindowFlagsFor(QGuiApplication::primaryScreen()->size())), m_dlgOption(this) {
  setFont(UiFonts::Make(UiFonts::kDialogFace, 10));
  m_stcTitle = new QLabel(this);
  m_stcTitle->setAlignment(Qt::AlignCenter);
  m_lstApps = new AppListCtrl(this);
  m_stcStatus = new StatusLine(this);
  m_btnClose = MakeButton(QStringLiteral("Close"), this);
  m_btnExecute = MakeButton(QStringLiteral("Execute"), this);
  m_btnOption = MakeButton(QStringLiteral("Option"), this);
  m_stcAvailable = MakeValue(this);
  m_stcRequired = MakeValue(this);
  // The editor lies above the list, so it is created after it.
  m_cbOperation = new OperationComboBox(this);
  connect(m_btnExecute, &QPushButton::clicked, this, &InstallerDialog::OnExecute);
  connect(m_btnClose, &QPushButton::clicked, this, &InstallerDialog::OnClose);
  connect(m_btnOption, &QPushButton::clicked, this, &InstallerDialog::OnOption);
  // The controls' reports are handled once the event that caused them is done.
  connect(m_lstApps, &AppListCtrl::HideEditor, m_cbOperation, &QWidget::hide, Qt::QueuedConnection);
  connect(m_lstApps, &AppListCtrl::PlaceEditor, this, [this] { PlaceOperationEditor(1); }, Qt::QueuedConnection);
  connect(m_lstApps, &AppListCtrl::OpenEditor, this, &InstallerDialog::OpenOperationEditor, Qt::QueuedConnection);
  connect(m_lstApps, &AppListCtrl::Painted, this, &InstallerDialog::OnListPainted, Qt::QueuedConnection);
  connect(m_cbOperation, &OperationComboBox::ChoiceMade, this, &InstallerDialog::OnOperationChosen,
          Qt::QueuedConnection);
  connect(m_cbOperation, &OperationComboBox::Cancelled, this, &InstallerDialog::OnOperationClosed,
          Qt::QueuedConnection);

  m_log.Write(QStringLiteral("pp-installer started: %1").arg(QCoreApplication::arguments().mid(1).join(u' ')));
  m_pStages = std::make_unique<InstallerStages>(m_logged, settings, this);
  OnInitDialog();
  qApp->installEventFilter(this);
}

InstallerDialog::~InstallerDialog() {
  qApp->removeEventFilter(this);
  m_pStages.reset();
  WaitCursor::Remove();
}

void InstallerDialog::CreateLabel(const QString &text, const QRect &geometry, Qt::Alignment alignment, bool edge) {
  auto *label = new QLabel(text, this);
  label->setAlignment(alignment);
  if (edge) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setGeometry(geometry);
  label->lower();
}

void InstallerDialog::OnInitDialog() {
  setGeometry(QRect(QPoint(0, 0), kPendantScreen));
  setFixedSize(kPendantScreen);
  // A framed window sits in the middle of a desktop, not against its corner.
  if (!(windowFlags() & Qt::FramelessWindowHint))
    move(screen()->availableGeometry().center() - rect().center());

  // Labels that keep their template positions. The column group labels end
  // where the list begins.
  const DialogUnits &units = kMainDialogUnits;
  CreateLabel(QStringLiteral("Space required on PP"), units.Rect(3, 234, 105, 15), Qt::AlignLeft | Qt::AlignVCenter, true);
  CreateLabel(QStringLiteral("Space available on PP"), units.Rect(3, 254, 105, 15), Qt::AlignLeft | Qt::AlignVCenter, true);
  CreateLabel(QStringLiteral("[KB]"), units.Rect(170, 238, 19, 10), Qt::AlignLeft | Qt::AlignTop, false);
  CreateLabel(QStringLiteral("[KB]"), units.Rect(170, 257, 19, 12), Qt::AlignLeft | Qt::AlignTop, false);
  QRect pp = units.Rect(159, 21, 87, 12);
  pp.setBottom(51);
  QRect medium = units.Rect(262, 21, 87, 12);
  medium.setBottom(51);
  CreateLabel(QStringLiteral("PP"), pp, Qt::AlignCenter, true);
  CreateLabel(QStringLiteral("CF/USB"), medium, Qt::AlignCenter, true);

  m_stcTitle->setGeometry(3, 4, 628, 22);
  m_lstApps->setGeometry(3, 52, 628, 318);
  m_stcRequired->setGeometry(193, 379, 98, 27);
  m_stcAvailable->setGeometry(193, 411, 98, 27);
  m_btnOption->setGeometry(351, 387, 78, 45);
  m_btnExecute->setGeometry(444, 387, 78, 45);
  m_btnClose->setGeometry(536, 387, 78, 45);
  m_btnClose->hide();  // exists, but the operator never sees it
  m_stcStatus->setGeometry(3, 444, 628, 26);
  m_cbOperation->setGeometry(64, 131, 103, 22);

  m_lstApps->SetupListColumns();

  m_strTitle = InstallerStages::Title();
  m_stcTitle->setText(m_strTitle);
  setWindowTitle(m_strTitle);
}

void InstallerDialog::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (m_bStarted) return;
  // The start-up stage runs once the window is on the screen.
  m_bStarted = true;
  m_pStages->Post(WM_INSTALLER_START);
  Invalidate();
}

// --- status line and busy state ---

void InstallerDialog::ShowStatus(StatusLevel level, const QString &text) {
  m_strStatus = text;
  m_stcStatus->Show(level, m_strStatus);
}

void InstallerDialog::SetBusy(bool busy) {
  if (!isVisible()) return;
  RepaintNow();
  if (busy)
    WaitCursor::Show();
  else
    WaitCursor::Remove();
  for (QWidget *control : {static_cast<QWidget *>(m_btnExecute), static_cast<QWidget *>(m_btnClose),
                           static_cast<QWidget *>(m_btnOption), static_cast<QWidget *>(m_lstApps)})
    control->setEnabled(!busy);
  // The fill belongs to the work that ends here; the next work starts its
  // own at once.
  m_stcStatus->SetFill(-1);
  m_clkPainted.invalidate();
  repaint();
  Invalidate();
  if (!busy) m_lstApps->setFocus();
}

int InstallerDialog::ShowAlert(const AlertRequest &alert) {
  WaitCursor::Remove();
  AlertWindow window(alert, this);
  const int result = window.Run();
  WaitCursor::Show();
  return result;
}

void InstallerDialog::ShowProgress(const Progress &progress) {
  m_stcStatus->SetFill(StatusLine::FillWidth(progress, m_stcStatus->contentsRect().width()));
  if (m_bPainting || (m_clkPainted.isValid() && m_clkPainted.elapsed() < kPaintIntervalMs)) return;
  PaintWhileBusy();
}

// --- repainting ---

void InstallerDialog::PaintWhileBusy() {
  // Exposes, update requests and the window manager's questions are
  // answered; the operator's input stays queued in the window system, as
  // the busy state requires. Posted events cannot be left out, so whatever
  // would reach the engine through them waits: the stage messages are held
  // and posted again afterwards (the event filter), and the list refresh and
  // editor placement do nothing meanwhile, as the end of the busy state
  // redoes them.
  {
    const QScopedValueRollback<bool> painting(m_bPainting, true);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  m_clkPainted.start();
  for (int message : std::exchange(m_arrHeldStages, {}))
    QCoreApplication::postEvent(m_pStages.get(), new QEvent(static_cast<QEvent::Type>(message)));
}

void InstallerDialog::RepaintNow() {
  RefreshList();
  RefreshSpace();
  repaint();
}

void InstallerDialog::Invalidate() {
  update();
  if (m_bRefreshQueued) return;
  m_bRefreshQueued = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        m_bRefreshQueued = false;
        RefreshList();
        RefreshSpace();
      },
      Qt::QueuedConnection);
}

void InstallerDialog::RefreshSpace() {
  if (!m_pStages->Engine() || m_bPainting) return;
  m_pStages->RefreshSpace();
  m_strRequired = QString::asprintf("%d", m_pStages->RequiredKiB());
  m_strAvailable = QString::asprintf("%d", m_pStages->RemainingKiB());
  m_stcRequired->setText(m_strRequired);
  m_stcRequired->repaint();
  m_stcAvailable->setText(m_strAvailable);
  m_stcAvailable->repaint();
}

void InstallerDialog::RefreshList() {
  InstallerEngine *engine = m_pStages->Engine();
  if (!engine || m_bPainting) return;
  const int n = engine->EntryCount();
  engine->SortEntries();
  QList<QPair<int, QStringList>> rows;
  for (int i = 0; i < n; ++i) {
    if (const AppEntry *entry = engine->EntryAt(i)) rows.append({i, ListRowTexts(*entry, i)});
  }
  m_lstApps->SetRows(rows);
  if (n < 1) return;
  int &current = m_pStages->CurrentRow();
  if (current < 0 || current >= n) current = 0;
  if (QTreeWidgetItem *item = m_lstApps->Row(current)) {
    m_lstApps->setCurrentItem(item);
    item->setSelected(true);
  }
}

// --- the operation editor ---

void InstallerDialog::PlaceOperationEditor(int /*force*/) {
  // Recomputed from the selection each time; the control is only touched
  // when something changed, so that a repaint that asks again leaves an open
  // list open.
  if (m_bPainting) return;
  InstallerEngine *engine = m_pStages->Engine();
  const QList<QTreeWidgetItem *> selected = m_lstApps->selectedItems();
  if (!engine || selected.isEmpty()) {
    m_cbOperation->hide();
    m_cbOperation->SetItems({}, -1);
    return;
  }
  const int row = m_lstApps->indexOfTopLevelItem(selected.first());
  m_pStages->CurrentRow() = row;
  const QRect list = m_lstApps->geometry();
  const QPoint position = m_lstApps->RowPosition(row);
  const QRect place(list.left() + position.x() + 28, list.top() + position.y() + 1, 80, m_cbOperation->height());
  QStringList items = {QStringLiteral(" "), QStringLiteral("Add")};
  if (engine->HasPendantVersion(row)) items.append(QStringLiteral("Remove"));

  if (place.top() < list.top() || place.top() >= list.top() + list.height() - 13) {
    m_cbOperation->hide();
    return;
  }
  if (m_cbOperation->isVisible() && m_cbOperation->geometry() == place && m_cbOperation->Items() == items) {
    if (!m_cbOperation->IsDroppedDown()) m_cbOperation->SetSelectionSilently(engine->GetOperation(row));
    return;
  }
  m_cbOperation->hide();
  m_cbOperation->SetItems(items, engine->GetOperation(row));
  m_cbOperation->setGeometry(place);
  m_cbOperation->raise();
  m_cbOperation->show();
}

void InstallerDialog::OpenOperationEditor() {
  if (!m_cbOperation->isVisible()) return;
  m_cbOperation->ShowDropDown(true);
  m_cbOperation->setFocus();
}

void InstallerDialog::OnListPainted() {
  if (m_bPainting) return;  // placed once the work is over
  PlaceOperationEditor(1);
  m_pStages->PlacementPending() = 0;
}

void InstallerDialog::OnOperationChosen(int index) {
  const int operation = index == AppEntry::Add ? AppEntry::Add : index == AppEntry::Remove ? AppEntry::Remove : 0;
  const int row = m_pStages->CurrentRow();
  if (InstallerEngine *engine = m_pStages->Engine()) engine->SetOperation(row, operation);
  // The chosen text shows until the refresh puts the entry's real mark back.
  if (QTreeWidgetItem *item = m_lstApps->Row(row)) item->setText(1, OperationText(operation));
  OnOperationClosed();
}

void InstallerDialog::OnOperationClosed() {
  m_cbOperation->ShowDropDown(false);
  m_lstApps->setFocus();
  Invalidate();
}

void InstallerDialog::OnListKeyDown(int key) {
  int &current = m_pStages->CurrentRow();
  if (key == Qt::Key_Up) {
    if (current > 0) --current;
  } else if (key == Qt::Key_Down) {
    ++current;
    if (current >= m_lstApps->RowCount()) current = m_lstApps->RowCount() - 1;
  }
}

// --- commands ---

void InstallerDialog::OnExecute() { m_pStages->ExecuteCommand(); }

void InstallerDialog::OnClose() {
  QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void InstallerDialog::OnOption() {
  InstallerEngine *engine = m_pStages->Engine();
  if (!engine) return;
  if (engine->Entries().IsEmpty()) {
    m_btnOption->setEnabled(false);
    return;
  }
  m_btnExecute->setEnabled(false);
  m_btnClose->setEnabled(false);
  m_btnOption->setEnabled(false);

  const OptionCandidates candidates = CollectOptionCandidates(*engine);
  for (const auto &[name, select] : candidates.autoRun) m_dlgOption.AddAutoRunChoice(name, select);
  for (const auto &[name, select] : candidates.oneTouch) m_dlgOption.AddOneTouchChoice(name, select);
  const QRect place(m_lstApps->mapToGlobal(QPoint(0, 0)), m_lstApps->size());
  const OptionDialog::Choice choice = m_dlgOption.Run(place);
  if (ApplyOptionChoice(*engine, choice.autoRun, choice.oneTouch)) m_pStages->OptionChanged() = 1;

  m_btnExecute->setEnabled(true);
  m_btnClose->setEnabled(true);
  m_btnOption->setEnabled(true);
  RepaintNow();
  Invalidate();
  m_lstApps->setFocus();
}

// --- events ---

void InstallerDialog::keyPressEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Escape || IsEnterKey(event->key())) return;
  QDialog::keyPressEvent(event);
}

void InstallerDialog::closeEvent(QCloseEvent *event) {
  // Closing the window ends the program, but never in the middle of a stage.
  if (!m_btnExecute->isEnabled() || m_pStages->HasPendingStage()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

bool InstallerDialog::eventFilter(QObject *watched, QEvent *event) {
  if (m_bPainting && watched == m_pStages.get() && IsStageMessage(event)) {
    m_arrHeldStages.append(event->type());
    return true;
  }
  // Seen for every object of the application: only this window's controls
  // and the editor's drop-down list, which Qt shows as a window of its own.
  if (!watched->isWidgetType()) return false;
  auto *widget = static_cast<QWidget *>(watched);
  const bool editor = m_cbOperation->Owns(widget);
  if (!editor && widget != this && !isAncestorOf(widget)) return false;
  if (editor && m_cbOperation->PreTranslate(event)) return true;
  if (widget == m_lstApps || widget == m_lstApps->viewport()) {
    m_lstApps->PreTranslate(widget, event);
    if (widget == m_lstApps && event->type() == QEvent::KeyPress)
      OnListKeyDown(static_cast<QKeyEvent *>(event)->key());
    // A click on the list opens the editor once the click's placement is done.
    if (widget == m_lstApps->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
      QMetaObject::invokeMethod(this, &InstallerDialog::OpenOperationEditor, Qt::QueuedConnection);
  }
  return PreTranslateMessage(widget, event);
}

bool InstallerDialog::PreTranslateMessage(QWidget *receiver, QEvent *event) {
  if (receiver != this) {
    if (!IsKeyEvent(event)) return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (IsEnterKey(key)) return true;
    if (key == Qt::Key_Escape) return !m_cbOperation->Owns(receiver);
    return false;
  }
  if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) &&
      static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
    return !m_btnExecute->isEnabled();
  return false;
}
