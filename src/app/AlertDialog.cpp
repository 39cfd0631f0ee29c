#include "AlertDialog.h"

#include "Reporter.h"
#include "StringTable.h"

int AlertDialog::ShowAlert(int messageId, const QString &detail) {
  AlertRequest request;
  request.messageId = messageId;
  request.message = LoadString(messageId);
  request.detail = detail;
  request.okEnabled = m_bOkEnabled;
  request.showCancel = m_bShowCancel;
  request.yesNo = m_bYesNo;
  request.firstCaption = m_firstCaption;
  request.secondCaption = m_secondCaption;
  // Buttons and captions are set for one alert: the next starts from OK alone.
  m_bOkEnabled = true;
  m_bShowCancel = false;
  m_bYesNo = false;
  m_firstCaption = m_secondCaption = 0;
  return m_reporter.ShowAlert(request);
}

void AlertDialog::SetButtonState(int controlId, int value) {
  if (controlId == kFirstButton)
    m_bOkEnabled = value != 0;
  else if (controlId == kSecondButton)
    m_bShowCancel = value != 0;
}

void AlertDialog::SetYesNoCaptions(int value) { m_bYesNo = value != 0; }
