#pragma once
// The operation editor: the drop-down list that the main dialog lays over the
// selected row's "Operation" cell. It turns the operator's gestures into two
// signals: a choice made and a choice cancelled, each with the selected item
// index.
#include "DropDownList.h"

class OperationComboBox : public DropDownList {
  Q_OBJECT

 public:
  explicit OperationComboBox(QWidget *parent = nullptr);

  // Examines an event addressed to the control or its drop-down list before
  // the control handles it; true when the event is swallowed.
  bool PreTranslate(QEvent *event);

  int Selection() const { return m_nSel; }
  bool SelectionChanged() const { return m_bSelChanged; }

 signals:
  void ChoiceMade(int index);
  void Cancelled(int index);

 private:
  int m_nSel = 0;
  bool m_bSelChanged = false;
};
