#pragma once
// A drop-down list (no typing) that tells apart what the pendant's lists
// report: a selection change made by the operator, including moving through
// the open list with the cursor keys, and the list closing up, however it
// closes (a pick, a tap outside, Escape, or a close request).
#include <QComboBox>

class DropDownList : public QComboBox {
  Q_OBJECT

 public:
  explicit DropDownList(QWidget *parent = nullptr);

  bool IsDroppedDown() const;
  void ShowDropDown(bool show);
  // True for the control itself and for every part of its drop-down list,
  // which Qt shows as a separate popup window.
  bool Owns(const QObject *object) const;

  // Replaces the items and selects one without reporting a selection change.
  void SetItems(const QStringList &items, int select);
  void SetSelectionSilently(int index);
  QStringList Items() const;

 signals:
  void SelectionChanged(int index);
  // The list closed; index is the selection it closed on, a picked item
  // included. Emitted once the event that closed it has been handled.
  void ClosedUp(int index);

 protected:
  void showPopup() override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void OnHighlighted(int index);
  void FinishCloseUp(int serial);

  QWidget *m_pPopup;
  int m_nSilent = 0;
  bool m_bKeyNavigation = false;
  bool m_bClosing = false;
  int m_nCloseUpIndex = -1;
  int m_nCloseUpSerial = 0;
};
