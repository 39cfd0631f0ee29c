#include "AlertDialog.h"

#include "InstallerView.h"
#include "StringTable.h"

int AlertDialog::ShowAlert(int messageId, const QString &detail) {
  m_strMessage = LoadString(messageId);
  m_strSubMessage = detail;
  InstallerView *view = MainView();
  if (!view) return -1;
  AlertRequest request;
  request.messageId = messageId;
  request.message = m_strMessage;
  request.detail = m_strSubMessage;
  request.okEnabled = m_bOkEnabled;
  request.showCancel = m_bShowCancel;
  request.yesNo = m_bYesNo;
  return view->ShowAlert(request);
}

void AlertDialog::SetButtonState(int controlId, int value) {
  if (controlId == kFirstButton)
    m_bOkEnabled = value != 0;
  else if (controlId == kSecondButton)
    m_bShowCancel = value != 0;
}

void AlertDialog::SetYesNoCaptions(int value) { m_bYesNo = value != 0; }
