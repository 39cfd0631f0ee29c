#include "DropDownList.h"

#include <QAbstractItemView>
#include <QEvent>

DropDownList::DropDownList(QWidget *parent) : QComboBox(parent) {
  setEditable(false);
  setInsertPolicy(QComboBox::NoInsert);
  // Creating the view also creates the popup window that holds it.
  m_pPopup = view()->window();
  m_pPopup->installEventFilter(this);
  view()->installEventFilter(this);
  view()->viewport()->installEventFilter(this);
  connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (m_nSilent != 0) return;
    // Qt applies a picked item just after the list has closed.
    if (m_bClosing) m_nCloseUpIndex = index;
    emit SelectionChanged(index);
  });
  connect(this, &QComboBox::highlighted, this, &DropDownList::OnHighlighted);
}

bool DropDownList::IsDroppedDown() const { return m_pPopup->isVisible(); }

void DropDownList::ShowDropDown(bool show) {
  if (show == IsDroppedDown()) return;
  if (show)
    showPopup();
  else
    hidePopup();
}

bool DropDownList::Owns(const QObject *object) const {
  const QWidget *widget = qobject_cast<const QWidget *>(object);
  if (!widget) return false;
  return widget == this || isAncestorOf(widget) || widget == m_pPopup || m_pPopup->isAncestorOf(widget);
}

void DropDownList::SetItems(const QStringList &items, int select) {
  // A close-up still to be reported belongs to the old items: report it now.
  FinishCloseUp(m_nCloseUpSerial);
  ++m_nSilent;
  clear();
  addItems(items);
  setCurrentIndex(select);
  --m_nSilent;
}

void DropDownList::SetSelectionSilently(int index) {
  ++m_nSilent;
  setCurrentIndex(index);
  --m_nSilent;
}

QStringList DropDownList::Items() const {
  QStringList items;
  for (int i = 0; i < count(); ++i) items.append(itemText(i));
  return items;
}

void DropDownList::showPopup() {
  m_bKeyNavigation = false;
  QComboBox::showPopup();
}

void DropDownList::OnHighlighted(int index) {
  // Moving through the open list with the keys selects, as on the pendant;
  // the mouse merely hovering over an item does not.
  if (m_bKeyNavigation && IsDroppedDown() && index != currentIndex()) setCurrentIndex(index);
}

void DropDownList::FinishCloseUp(int serial) {
  if (!m_bClosing || serial != m_nCloseUpSerial) return;
  m_bClosing = false;
  emit ClosedUp(m_nCloseUpIndex);
}

bool DropDownList::eventFilter(QObject *watched, QEvent *event) {
  if (watched == m_pPopup) {
    if (event->type() == QEvent::Hide && !m_bClosing) {
      m_bClosing = true;
      m_nCloseUpIndex = currentIndex();
      const int serial = ++m_nCloseUpSerial;
      QMetaObject::invokeMethod(this, [this, serial] { FinishCloseUp(serial); }, Qt::QueuedConnection);
    }
  } else if (event->type() == QEvent::KeyPress) {
    m_bKeyNavigation = true;
  } else if (event->type() == QEvent::MouseMove) {
    m_bKeyNavigation = false;
  }
  return QComboBox::eventFilter(watched, event);
}
