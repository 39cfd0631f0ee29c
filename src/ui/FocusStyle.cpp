#include "FocusStyle.h"

#include <QPainter>
#include <QStyleOption>

void FocusStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                               const QWidget *widget) const {
  if (element != PE_FrameFocusRect) return QProxyStyle::drawPrimitive(element, option, painter, widget);
  // The pendant's dotted rectangle, in the colour of the text beneath it so
  // that it shows on a selected row as on a button.
  const bool selected = option->state & State_Selected;
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, false);
  painter->setPen(QPen(option->palette.color(selected ? QPalette::HighlightedText : QPalette::ButtonText), 1, Qt::DotLine));
  painter->setBrush(Qt::NoBrush);
  painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
  painter->restore();
}

void FocusStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                             const QWidget *widget) const {
  QProxyStyle::drawControl(element, option, painter, widget);
  if (element != CE_PushButton || !(option->state & State_HasFocus)) return;
  QStyleOptionFocusRect focus;
  focus.QStyleOption::operator=(*option);
  focus.rect = option->rect.adjusted(4, 4, -4, -4);  // inside the button's edge
  drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
}
