#pragma once
// The coloured status line at the bottom of the main dialog, the program's
// only log: each text is shown in the colours of its level.
#include "platform/Outcome.h"

#include <QColor>
#include <QLabel>

class StatusLine : public QLabel {
  Q_OBJECT

 public:
  explicit StatusLine(QWidget *parent = nullptr);

  // Text and background colour of a level: errors red, warnings yellow,
  // transfer messages green, each on dark blue; information black on grey.
  static QColor TextColor(StatusLevel level);
  static QColor BackgroundColor(StatusLevel level);

  // Shows the text in the level's colours and paints it at once, so that it
  // is visible while a long operation keeps the thread busy.
  void Show(StatusLevel level, const QString &text);

 private:
  QColor m_crText;
  QColor m_crBack;
};
