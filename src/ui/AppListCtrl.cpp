#include "AppListCtrl.h"

#include "app/ListRows.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

AppListCtrl::AppListCtrl(QWidget *parent) : QTreeWidget(parent) {
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setRootIsDecorated(false);
  setIndentation(0);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSortingEnabled(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);  // the focus rectangle around the whole row
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTextElideMode(Qt::ElideNone);
  setWordWrap(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  QPalette colours = palette();
  colours.setColor(QPalette::Text, QColor(0, 0, 255));
  setPalette(colours);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    m_nTracking = 1;
    emit HideEditor();
  });
}

void AppListCtrl::SetupListColumns() {
  setColumnCount(static_cast<int>(kListColumns.size()));
  QTreeWidgetItem *header = headerItem();
  for (int i = 0; i < columnCount(); ++i) {
    const ListColumn &column = kListColumns[i];
    header->setText(i, QString::fromUtf16(column.header));
    header->setTextAlignment(i, column.alignment | Qt::AlignVCenter);
  }
  QHeaderView *view = this->header();
  view->setSectionsClickable(false);
  view->setSectionsMovable(false);
  view->setStretchLastSection(false);
  view->setSectionResizeMode(QHeaderView::Fixed);
  view->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int i = 0; i < columnCount(); ++i) setColumnWidth(i, kListColumns[i].width);
}

void AppListCtrl::SetRows(const QList<QPair<int, QStringList>> &rows) {
  // Existing items are reused so that the scroll position survives a refresh.
  while (topLevelItemCount() > rows.size()) delete takeTopLevelItem(topLevelItemCount() - 1);
  while (topLevelItemCount() < rows.size()) addTopLevelItem(new QTreeWidgetItem);
  for (qsizetype r = 0; r < rows.size(); ++r) {
    QTreeWidgetItem *item = topLevelItem(static_cast<int>(r));
    const QStringList &texts = rows[r].second;
    item->setData(0, Qt::UserRole, rows[r].first);
    item->setSizeHint(0, QSize(kListColumns[0].width, kRowHeight));
    for (int c = 0; c < columnCount() && c < texts.size(); ++c) {
      if (item->text(c) != texts[c]) item->setText(c, texts[c]);
      item->setTextAlignment(c, kListColumns[c].alignment | Qt::AlignVCenter);
    }
  }
}

QPoint AppListCtrl::RowPosition(int row) const {
  QTreeWidgetItem *item = topLevelItem(row);
  if (!item) return {};
  return viewport()->mapTo(this, visualItemRect(item).topLeft());
}

void AppListCtrl::PreTranslate(QObject *receiver, QEvent *event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      if (receiver != this) return;
      const auto *key = static_cast<QKeyEvent *>(event);
      const bool vertical = key->key() == Qt::Key_Up || key->key() == Qt::Key_Down;
      if (event->type() == QEvent::KeyPress) {
        if (vertical && m_nTracking) {
          emit HideEditor();
          m_nTracking = 0;
        }
      } else if (!key->isAutoRepeat()) {
        if (vertical) {
          emit PlaceEditor();
          m_nTracking = 1;
        } else if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space) {
          emit OpenEditor();
        }
      }
      return;
    }
    case QEvent::MouseButtonPress:
      if (receiver == viewport() && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        emit PlaceEditor();
      return;
    case QEvent::Paint:
      if (receiver == viewport() && m_nTracking) emit Painted();
      return;
    case QEvent::FocusIn:
      if (receiver == this) {
        emit PlaceEditor();
        m_nTracking = 1;
      }
      return;
    default:
      return;
  }
}
