#pragma once
// The coloured status line at the bottom of the main dialog, the program's
// only log: each text is shown in the colours of its level. While long work
// runs, its background fills from left to right behind the text.
#include "app/Reporter.h"
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
  // Pixels of a line `width` wide to fill for the work done: by bytes when
  // their total is known, else by files (the one in hand counted in part);
  // -1 when nothing says how far it has got.
  static int FillWidth(const Progress &progress, int width);

  // Shows the text in the level's colours and paints it at once, so that it
  // is visible while a long operation keeps the thread busy.
  void Show(StatusLevel level, const QString &text);
  StatusLevel Level() const { return m_nLevel; }
  // The filled part of the inner width; -1 for none. Painted at the next
  // repaint, never moving the text.
  void SetFill(int width);
  int Fill() const { return m_nFill; }

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  QColor m_crText;
  QColor m_crBack;
  StatusLevel m_nLevel = StatusLevel::Info;
  int m_nFill = -1;
};
