#pragma once
// The coloured status line at the bottom of the main dialog, the program's
// only log: each text is shown in the colours of its level.
#include <QColor>
#include <QLabel>

class StatusLine : public QLabel {
  Q_OBJECT

 public:
  explicit StatusLine(QWidget *parent = nullptr);

  // Text and background colour of a level: 0 red, 1 yellow, 2 green, each on
  // dark blue; any other level black on grey.
  static QColor TextColor(int level);
  static QColor BackgroundColor(int level);

  // Shows the text in the level's colours and paints it at once, so that it
  // is visible while a long operation keeps the thread busy.
  void Show(int level, const QString &text);

 private:
  QColor m_crText;
  QColor m_crBack;
};
