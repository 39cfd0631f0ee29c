#include "AlertWindow.h"

#include "DialogUnits.h"
#include "UiFonts.h"
#include "app/StringTable.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {
// The alert template: 269 x 105 units.
constexpr int kWidthUnits = 269;
constexpr int kHeightUnits = 105;
// The lone button is made larger and centred under the texts.
const QRect kSingleButton(165, 130, 135, 40);
}  // namespace

AlertWindow::AlertWindow(const AlertRequest &request, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setModal(true);
  const QRect client = kMainDialogUnits.Rect(0, 0, kWidthUnits, kHeightUnits);
  setFixedSize(client.size());

  auto *edge = new QFrame(this);
  edge->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  edge->setLineWidth(2);
  edge->setGeometry(rect());

  m_stcMessage = new QLabel(this);
  m_stcMessage->setGeometry(kMainDialogUnits.Rect(8, 5, 255, 33));
  m_stcSubMessage = new QLabel(this);
  m_stcSubMessage->setGeometry(kMainDialogUnits.Rect(8, 42, 255, 33));
  for (QLabel *label : {m_stcMessage, m_stcSubMessage}) {
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }
  m_btnOk = new QPushButton(this);
  m_btnOk->setGeometry(kMainDialogUnits.Rect(47, 81, 74, 21));
  m_btnCancel = new QPushButton(this);
  m_btnCancel->setGeometry(kMainDialogUnits.Rect(154, 81, 74, 21));
  connect(m_btnOk, &QPushButton::clicked, this, [this] { done(1); });
  connect(m_btnCancel, &QPushButton::clicked, this, [this] { done(0); });

  InitDialog(request);
}

AlertWindow::~AlertWindow() = default;

void AlertWindow::InitDialog(const AlertRequest &request) {
  m_stcMessage->setText(request.message);
  m_stcSubMessage->setText(request.detail);

  // A fresh font for every display, released with the window.
  m_pFont = std::make_unique<QFont>(UiFonts::Make(UiFonts::kAlertFace, 13));
  setFont(*m_pFont);
  for (QWidget *control : {static_cast<QWidget *>(m_stcMessage), static_cast<QWidget *>(m_stcSubMessage),
                           static_cast<QWidget *>(m_btnOk), static_cast<QWidget *>(m_btnCancel)})
    control->setFont(*m_pFont);

  m_btnOk->setText(LoadString(request.firstCaption ? request.firstCaption : request.yesNo ? 4003 : 4001));
  m_btnCancel->setText(LoadString(request.secondCaption ? request.secondCaption : request.yesNo ? 4004 : 4002));
  m_btnOk->setEnabled(request.okEnabled);
  if (request.showCancel) {
    m_btnCancel->show();
  } else {
    m_btnOk->setGeometry(kSingleButton);
    m_btnCancel->hide();
  }
  m_btnOk->setDefault(true);
}

QString AlertWindow::Message() const { return m_stcMessage->text(); }
QString AlertWindow::SubMessage() const { return m_stcSubMessage->text(); }

int AlertWindow::Run() {
  // Centred on the window it speaks for, so that on a screen larger than
  // the pendant's it does not hang past that window's edge.
  if (parentWidget())
    move(parentWidget()->window()->geometry().center() - rect().center());
  else if (QScreen *screen = this->screen())
    move(screen->geometry().center() - rect().center());
  if (m_btnOk->isEnabled())
    m_btnOk->setFocus();
  else if (m_btnCancel->isVisible())
    m_btnCancel->setFocus();
  return exec();
}

void AlertWindow::keyPressEvent(QKeyEvent *event) {
  // Escape answers when it is released; the press alone does nothing.
  if (event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}

void AlertWindow::keyReleaseEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Escape && !event->isAutoRepeat()) {
    done(kEscape);
    return;
  }
  QDialog::keyReleaseEvent(event);
}
