#include "OperationComboBox.h"

#include <QKeyEvent>

OperationComboBox::OperationComboBox(QWidget *parent) : DropDownList(parent) {
  setFocusPolicy(Qt::ClickFocus);
  connect(this, &DropDownList::SelectionChanged, this, [this](int index) {
    m_nSel = index;
    m_bSelChanged = true;
  });
  connect(this, &DropDownList::ClosedUp, this, [this](int index) {
    m_nSel = index;
    emit ChoiceMade(m_nSel);
  });
}

bool OperationComboBox::PreTranslate(QEvent *event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  const auto *key = static_cast<QKeyEvent *>(event);
  if (type == QEvent::KeyPress) return key->key() == Qt::Key_Space;
  if (key->isAutoRepeat()) return false;
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (m_bSelChanged) {
        // Closing the open list reports the choice through its close-up; a
        // closed list has no close-up, so the choice is reported directly.
        if (IsDroppedDown())
          ShowDropDown(false);
        else
          emit ChoiceMade(m_nSel);
        m_bSelChanged = false;
      }
      return true;
    case Qt::Key_Space:
      m_nSel = currentIndex();
      emit Cancelled(m_nSel);
      m_bSelChanged = false;
      return true;
    default:
      return false;
  }
}
