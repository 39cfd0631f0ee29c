#include "InstallerEngine.h"

#include "InstallerView.h"
#include "StringTable.h"

InstallerEngine::InstallerEngine(InstallerView *view)
    : m_strKtcFolder(QStringLiteral("\\PP_APP\\")), m_strDiskRoot(LoadString(4009)), m_strAppFolder(LoadString(4012)) {
  SetMainView(view);
}

InstallerEngine::~InstallerEngine() { ClearEntries(); }

QString InstallerEngine::PendantMenuPath() const {
  return QStringLiteral("%1\\%2").arg(m_strAppFolder, QStringLiteral("PP_MENU.INI"));
}

void InstallerEngine::ShowStatus(int level, const QString &text) {
  if (InstallerView *view = MainView()) view->ShowStatus(level, text);
}

void InstallerEngine::SetBusy(bool busy) {
  if (InstallerView *view = MainView()) view->SetBusy(busy);
}

int InstallerEngine::Report(int level, const QString &status, int alertId, const QString &detail) {
  m_strStatus = status;
  ShowStatus(level, m_strStatus);
  m_strDetail = detail;
  return m_alert.ShowAlert(alertId, m_strDetail);
}

bool InstallerEngine::OpenController(const QString &operation) {
  if (m_ftp.Open()) return true;
  Report(2, LoadString(3012), 2012, QStringLiteral("error function. (%1)").arg(operation));
  return false;
}
