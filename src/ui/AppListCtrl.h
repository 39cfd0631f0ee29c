#pragma once
// The application list: a nine-column report with full-row selection and
// 23-pixel rows. It holds nothing but the rows it is given and the
// selection; it tells about clicks, keys, paints, focus and scrolling with
// signals, so that the dialog can move the operation editor. The dialog
// takes them queued, after the event that caused them.
#include <QList>
#include <QPair>
#include <QStringList>
#include <QTreeWidget>

class AppListCtrl : public QTreeWidget {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 23;

  explicit AppListCtrl(QWidget *parent = nullptr);

  // Columns with their header texts, widths and alignments.
  void SetupListColumns();
  // Shows these rows (entry index, nine column texts) in this order.
  void SetRows(const QList<QPair<int, QStringList>> &rows);
  QTreeWidgetItem *Row(int row) const { return topLevelItem(row); }
  int RowCount() const { return topLevelItemCount(); }
  // Position of a row's top left corner in the list's own coordinates.
  QPoint RowPosition(int row) const;

  // Examines an event addressed to the list or its viewport before the list
  // handles it and signals what it means for the editor; never swallows it.
  void PreTranslate(QObject *receiver, QEvent *event);

  int Tracking() const { return m_nTracking; }

 signals:
  // The selection is moving (keys held, scrolling): the editor goes.
  void HideEditor();
  // The selection settled: the editor goes over the selected row.
  void PlaceEditor();
  // Enter or Space on the list: the editor's list opens.
  void OpenEditor();
  // The rows were painted while the selection is not moving.
  void Painted();

 private:
  int m_nTracking = 1;
};
