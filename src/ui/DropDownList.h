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
  // Emitted after the event that closed the list has been handled, so that a
  // picked item is already the current selection.
  void ClosedUp();

 protected:
  void showPopup() override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void OnHighlighted(int index);

  QWidget *m_pPopup;
  int m_nSilent = 0;
  bool m_bKeyNavigation = false;
};
