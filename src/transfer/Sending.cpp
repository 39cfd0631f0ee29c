// Sending the pendant's new menu file and the newly installed archives to the
// controller, whose copy is the master from which pendants are rebuilt.
#include "app/InstallerEngine.h"
#include "app/StringTable.h"

int InstallerEngine::CreateKtcAppFolder() {
  m_strDetail.clear();
  if (!OpenController(QStringLiteral("CreateKtcAppFolder"))) return 0;
  if (m_ftp.Exists(QStringLiteral("PP_APP"))) {
    m_ftp.Close();
    return 1;
  }
  if (!m_ftp.CreateFolder(m_strKtcFolder)) {
    Report(2, QStringLiteral("KTC directory create error. (%1)\n").arg(m_strKtcFolder), 2016, QStringLiteral("error file :(%1)").arg(m_strKtcFolder));
    m_ftp.Close();
    return 0;
  }
  m_strStatus = QStringLiteral("KTC directory create complete. (%1)\n").arg(m_strKtcFolder);
  ShowStatus(2, m_strStatus);
  m_ftp.Close();
  return 1;
}

int InstallerEngine::DownloadMtcAppFiles() {
  if (!OpenController(QStringLiteral("DownloadMtcAppFiles"))) return 0;
  const QString menuFile = QStringLiteral("PP_MENU.INI");
  m_ftp.RemoveFile(m_strKtcFolder, menuFile);  // may not be there yet
  if (!m_ftp.PutFile(m_strKtcFolder, m_strAppFolder, menuFile, FtpSession::kTransferBinary)) {
    Report(2, LoadString(3011), 2011, QStringLiteral("error file :(%1%2)").arg(m_strKtcFolder, menuFile));
    m_ftp.Close();
    return 0;
  }
  m_strStatus = LoadString(3023);
  ShowStatus(2, m_strStatus);

  // Archives go straight from the package on the medium.
  const QString packages = QStringLiteral("%1%2").arg(m_strMediaRoot, QStringLiteral("PP_APP"));
  for (const AppEntry *entry : std::as_const(m_entries)) {
    if (!entry) break;
    if (entry->name.isEmpty() || entry->operation != AppEntry::Add) continue;
    const QString archive = QStringLiteral("%1.%2").arg(entry->name, QStringLiteral("ZIP"));
    if (!m_ftp.PutFile(m_strKtcFolder, packages, archive, FtpSession::kTransferBinary)) {
      Report(2, LoadString(3011), 2011, QStringLiteral("error file :(%1)").arg(archive));
      m_ftp.Close();
      return 0;
    }
    m_strStatus = QStringLiteral("(%1) file ftp download complete.").arg(archive);
    ShowStatus(2, m_strStatus);
  }
  m_ftp.Close();
  return 1;
}
