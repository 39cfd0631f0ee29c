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

bool InstallerEngine::OpenController(const QString &operation) {
  if (m_ftp.Open()) return true;
  m_strStatus = LoadString(3012);
  ShowStatus(2, m_strStatus);
  m_strDetail = QStringLiteral("error function. (%1)").arg(operation);
  m_alert.ShowAlert(2012, m_strDetail);
  return false;
}
