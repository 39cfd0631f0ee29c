#include "ControllerFolder.h"

#include "platform/Device.h"

#include <QFileInfo>

namespace {

// The folder as a name of the login folder: "PP_APP".
QString FolderName(const QString &folder) {
  QString name = folder;
  name.remove(u'\\');
  return name;
}

}  // namespace

ControllerConnection::ControllerConnection(const FtpEndpoint &endpoint, const QString &folder)
    : m_ftp(endpoint), m_folder(folder) {
  m_ftp.Open();
}

Outcome ControllerConnection::Opened(const QString &operation) const {
  if (m_ftp.IsOpen()) return Outcome::Success();
  return Outcome::Failure(StatusLevel::Transfer, 3012, 2012, QStringLiteral("error function. (%1)").arg(operation))
      .Because(m_ftp.LastFailure());
}

bool ControllerConnection::HasFolder() { return m_ftp.Exists(FolderName(m_folder)); }

Outcome ControllerConnection::CreateFolder() {
  if (m_ftp.CreateFolder(m_folder)) return Outcome::Success();
  return Outcome::Failure(StatusLevel::Transfer, QStringLiteral("KTC directory create error. (%1)\n").arg(m_folder), 2016,
                          QStringLiteral("error file :(%1)").arg(m_folder))
      .Because(QStringLiteral("MKD %1: %2").arg(m_folder, m_ftp.LastFailure()));
}

Outcome ControllerConnection::Fetch(const QString &localFolder, const QString &fileName) {
  if (m_ftp.GetFile(m_folder, localFolder, fileName)) return Outcome::Success();
  return Outcome::Failure(StatusLevel::Transfer, 3011, 2011, QStringLiteral("error file :(%1)").arg(fileName))
      .Because(QStringLiteral("RETR %1%2: %3").arg(m_folder, fileName, m_ftp.LastFailure()));
}

namespace {

// The alert names the file as the operator knows it (shownAs, when given).
Outcome SendFailed(const QString &folder, const QString &fileName, const QString &shownAs, const QString &why) {
  return Outcome::Failure(StatusLevel::Transfer, 3011, 2011,
                          QStringLiteral("error file :(%1)").arg(shownAs.isEmpty() ? fileName : shownAs))
      .Because(QStringLiteral("STOR %1%2: %3").arg(folder, fileName, why));
}

}  // namespace

Outcome ControllerConnection::Send(const QString &localFolder, const QString &fileName, const QString &shownAs) {
  const auto local = Device::MapPath(localFolder + u'\\' + fileName);
  const Outcome put = Put(localFolder, fileName, shownAs);
  if (!put) return put;
  Outcome verified = Verify({{fileName, local ? QFileInfo(*local).size() : -1}});
  if (!verified && !shownAs.isEmpty()) verified.detail = QStringLiteral("error file :(%1)").arg(shownAs);
  return verified;
}

Outcome ControllerConnection::Put(const QString &localFolder, const QString &fileName, const QString &shownAs) {
  if (m_ftp.PutFile(m_folder, localFolder, fileName, FtpSession::kTransferBinary)) return Outcome::Success();
  return SendFailed(m_folder, fileName, shownAs, m_ftp.LastFailure());
}

Outcome ControllerConnection::Verify(const QList<QPair<QString, qint64>> &files) {
  // A server may confirm a transfer that it did not keep whole (a full
  // disk, a dropped connection taken for the end): only its listing says
  // what it holds.
  if (files.isEmpty()) return Outcome::Success();
  const auto entries = m_ftp.ListedEntries(m_folder);
  for (const auto &[name, size] : files) {
    const FtpListEntry *listed = entries ? FindListedEntry(*entries, name) : nullptr;
    if (listed && listed->directory) listed = nullptr;
    if (listed && listed->size == size) continue;
    return SendFailed(m_folder, name, {},
                      !entries ? QStringLiteral("confirmed, but the listing failed: %1").arg(m_ftp.LastFailure())
                      : listed ? QStringLiteral("listed with %1 bytes of %2").arg(listed->size).arg(size)
                               : QStringLiteral("confirmed, but not listed"));
  }
  return Outcome::Success();
}

RemoteFile ControllerConnection::Stat(const QString &fileName) { return m_ftp.ListedFile(m_folder, fileName); }

QHash<QString, qint64> ControllerConnection::ListedSizes() {
  QHash<QString, qint64> sizes;
  if (const auto entries = m_ftp.ListedEntries(m_folder))
    for (const FtpListEntry &entry : *entries)
      if (!entry.directory) sizes.insert(entry.name.toUpper(), entry.size);
  return sizes;
}

Outcome ControllerConnection::RemoveFile(const QString &fileName) {
  if (m_ftp.RemoveFile(m_folder, fileName)) return Outcome::Success();
  return Outcome::Failure(StatusLevel::Transfer, 3006, 2025, QStringLiteral("error KTC folder. :(%1%2)").arg(m_folder, fileName))
      .Because(QStringLiteral("DELE %1%2: %3").arg(m_folder, fileName, m_ftp.LastFailure()));
}

void ControllerConnection::DiscardFile(const QString &fileName) { (void)m_ftp.RemoveFile(m_folder, fileName); }

Outcome ControllerConnection::RemoveFolder() {
  if (m_ftp.RemoveFolder(m_folder)) return Outcome::Success();
  return Outcome::Failure(StatusLevel::Transfer, 3020, 2024, QStringLiteral("error KTC folder. :(%1)").arg(m_folder))
      .Because(QStringLiteral("RMD %1: %2").arg(m_folder, m_ftp.LastFailure()));
}

ControllerFolderState ProbeControllerFolder(const FtpEndpoint &endpoint, const QString &folder) {
  ControllerConnection controller(endpoint, folder);
  if (!controller.IsOpen()) return ControllerFolderState::Unreachable;
  const bool exists = controller.HasFolder();
  // A lost connection closes the session: no answer is no "not there".
  if (!exists && !controller.IsOpen()) return ControllerFolderState::Unreachable;
  return exists ? ControllerFolderState::Present : ControllerFolderState::Absent;
}
