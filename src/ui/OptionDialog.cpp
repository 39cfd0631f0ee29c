#include "OptionDialog.h"

#include "DialogUnits.h"
#include "DropDownList.h"
#include "UiFonts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

OptionDialog::OptionDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setModal(true);
  setFont(UiFonts::Make(UiFonts::kDialogFace, 12));
  auto *edge = new QFrame(this);
  edge->setObjectName(QStringLiteral("edge"));
  edge->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  edge->setLineWidth(2);

  const DialogUnits &units = kLargeDialogUnits;
  auto *autoRunLabel = new QLabel(QStringLiteral("Auto Run Application："), this);
  autoRunLabel->setGeometry(units.Rect(2, 15, 77, 12));
  auto *oneTouchLabel = new QLabel(QStringLiteral("One Touch Run Application："), this);
  oneTouchLabel->setGeometry(units.Rect(2, 71, 87, 13));

  // The labels take the width their texts need in this font, and the lists
  // move right when a label would reach into them.
  int labelsRight = 0;
  for (QLabel *label : {autoRunLabel, oneTouchLabel}) {
    label->resize(qMax(label->width(), label->sizeHint().width()), label->height());
    labelsRight = qMax(labelsRight, label->geometry().right());
  }
  m_cbAutoRun = new DropDownList(this);
  m_cbOneTouch = new DropDownList(this);
  // The template sizes include the open list; the closed control is one line.
  const QRect autoRun = units.Rect(93, 15, 130, 87);
  const QRect oneTouch = units.Rect(93, 70, 130, 78);
  const int left = qMax(autoRun.x(), labelsRight + 8);
  m_cbAutoRun->setGeometry(left, autoRun.y(), autoRun.width(), 28);
  m_cbOneTouch->setGeometry(left, oneTouch.y(), oneTouch.width(), 28);
  m_cbAutoRun->setMaxVisibleItems(8);
  m_cbOneTouch->setMaxVisibleItems(8);

  m_btnReturn = new QPushButton(QStringLiteral("Return"), this);
  m_btnReturn->setGeometry(units.Rect(158, 120, 104, 28));
  m_btnReturn->setDefault(true);
  connect(m_btnReturn, &QPushButton::clicked, this, [this] { done(1); });

  connect(m_cbAutoRun, &DropDownList::SelectionChanged, this, [this](int index) { m_nAutoRunSel = index; });
  connect(m_cbOneTouch, &DropDownList::SelectionChanged, this, [this](int index) { m_nOneTouchSel = index; });
  // A close-up reported after the dialog has ended must not touch the next use.
  connect(m_cbAutoRun, &DropDownList::ClosedUp, this, [this](int index) {
    if (isVisible()) m_nAutoRunSel = index;
  });
  connect(m_cbOneTouch, &DropDownList::ClosedUp, this, [this](int index) {
    if (isVisible()) m_nOneTouchSel = index;
  });
  qApp->installEventFilter(this);
}

OptionDialog::~OptionDialog() { qApp->removeEventFilter(this); }

void OptionDialog::AddAutoRunChoice(const QString &name, int select) {
  m_arrAutoRun.append(name);
  if (select != 0) m_nAutoRunSel = select;
}

void OptionDialog::AddOneTouchChoice(const QString &name, int select) {
  m_arrOneTouch.append(name);
  if (select != 0) m_nOneTouchSel = select;
}

void OptionDialog::InitDialog() {
  setGeometry(m_rcPlace);
  findChild<QFrame *>(QStringLiteral("edge"))->setGeometry(rect());
  m_pFont = std::make_unique<QFont>(UiFonts::Make(UiFonts::kOptionListFace, 14));
  m_cbAutoRun->setFont(*m_pFont);
  m_cbOneTouch->setFont(*m_pFont);
  if (m_nAutoRunSel < 0 || m_nAutoRunSel >= m_arrAutoRun.size()) m_nAutoRunSel = 0;
  m_cbAutoRun->SetItems(m_arrAutoRun, m_nAutoRunSel);
  if (m_nOneTouchSel < 0 || m_nOneTouchSel >= m_arrOneTouch.size()) m_nOneTouchSel = 0;
  m_cbOneTouch->SetItems(m_arrOneTouch, m_nOneTouchSel);
  m_cbAutoRun->setFocus();
}

QString OptionDialog::Chosen(const QStringList &names, int index) {
  return index >= 1 && index < names.size() ? names[index] : QString();
}

OptionDialog::Choice OptionDialog::Run(const QRect &place) {
  m_rcPlace = place;
  InitDialog();
  exec();
  // However the dialog ended, the selection last recorded counts.
  Choice choice{Chosen(m_arrAutoRun, m_nAutoRunSel), Chosen(m_arrOneTouch, m_nOneTouchSel)};
  m_arrAutoRun.clear();
  m_arrOneTouch.clear();
  m_nAutoRunSel = 0;
  m_nOneTouchSel = 0;
  m_cbAutoRun->SetItems({}, -1);
  m_cbOneTouch->SetItems({}, -1);
  m_pFont.reset();
  return choice;
}

bool OptionDialog::eventFilter(QObject *watched, QEvent *event) {
  if (!isVisible()) return false;
  for (DropDownList *list : {m_cbAutoRun, m_cbOneTouch}) {
    // Keys reach the list, or its view while it is open; what the parents
    // see of them afterwards is the same key passed on.
    if (watched != list && watched != list->view()) continue;
    if (event->type() == QEvent::FocusOut && watched == list) {
      // Focus that moves into the list's own popup does not close it.
      if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason &&
          !list->Owns(QApplication::focusWidget()))
        list->ShowDropDown(false);
    } else if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
      // Space does not open a list when pressed; its release toggles it.
      return true;
    } else if (event->type() == QEvent::KeyRelease && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space &&
               !static_cast<QKeyEvent *>(event)->isAutoRepeat()) {
      list->ShowDropDown(!list->IsDroppedDown());
    }
    return false;
  }
  return false;
}
