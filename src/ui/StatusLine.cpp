#include "StatusLine.h"

StatusLine::StatusLine(QWidget *parent) : QLabel(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setAutoFillBackground(true);
  setTextFormat(Qt::PlainText);
  m_crText = palette().color(QPalette::WindowText);
  m_crBack = palette().color(QPalette::Window);
}

QColor StatusLine::TextColor(StatusLevel level) {
  switch (level) {
    case StatusLevel::Error:
      return QColor(255, 0, 0);
    case StatusLevel::Warning:
      return QColor(255, 255, 0);
    case StatusLevel::Transfer:
      return QColor(0, 255, 0);
    default:
      return QColor(0, 0, 0);
  }
}

QColor StatusLine::BackgroundColor(StatusLevel level) {
  return level == StatusLevel::Info ? QColor(160, 160, 160) : QColor(40, 50, 150);
}

void StatusLine::Show(StatusLevel level, const QString &text) {
  m_crText = TextColor(level);
  m_crBack = BackgroundColor(level);
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, m_crText);
  colours.setColor(QPalette::Window, m_crBack);
  setPalette(colours);
  setText(text);
  repaint();
}
