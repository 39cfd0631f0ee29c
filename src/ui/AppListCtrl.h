#pragma once
// The application list: a nine-column report with full-row selection and
// 23-pixel rows. It holds nothing but the rows it is given and the
// selection; it tells its parent about clicks, keys, paints, focus and
// scrolling with list events (0x8103) so that the parent can move the
// operation editor.
#include <QList>
#include <QPair>
#include <QStringList>
#include <QTreeWidget>

class AppListCtrl : public QTreeWidget {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 23;
  // List events: hide the editor, place or open it, place it after a paint.
  static constexpr int kHide = 256;
  static constexpr int kPlace = 257;
  static constexpr int kPaint = 15;

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
  // handles it and posts the matching list event; never swallows it.
  void PreTranslate(QObject *receiver, QEvent *event);

  int Tracking() const { return m_nTracking; }

 private:
  void PostListEvent(int event, int flag);

  int m_nTracking = 1;
};
