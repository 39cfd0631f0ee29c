#pragma once
// The application's style with a focus rectangle that always shows: Qt's
// styles draw it only after the focus was moved by the keyboard, so a
// button focused by the program (Execute, after a tap) looked unfocused and
// a Space press on it started an execution unseen.
#include <QProxyStyle>

class FocusStyle : public QProxyStyle {
 public:
  void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
  // Buttons get the rectangle too: some styles only tint their edge.
  void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                   const QWidget *widget = nullptr) const override;
};
