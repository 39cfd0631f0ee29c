#include "FtpSession.h"

#include "FtpConnection.h"
#include "FtpListing.h"
#include "platform/CodePage.h"
#include "platform/Device.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <QThread>

namespace {

constexpr int kConnectPauseMs = 300;
constexpr int kTransferPauseMs = 100;
constexpr int kTransferAscii = 1;

// Names travel in the device's code page, as the platform's FTP client
// sends its wide strings. A line break or NUL would end the command early
// and let the rest pass as another one. A name the code page cannot carry
// (or one that came undecodable from a listing) would reach the server with
// "?" in it, which names another file or, to some servers, any file: such a
// name is never sent.
bool ToWire(const QString &text, QByteArray *wire) {
  if (text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0))) return false;
  *wire = CodePage::Encode(text);
  return CodePage::Decode(*wire) == text;
}

bool IsPositive(int replyCode) { return replyCode >= 200 && replyCode < 300; }

// A command that changed the controller's folder is a change like one on the
// device, and a crash test may stop right after it.
bool Changed(bool done) {
  if (done) Device::ChangeDone();
  return done;
}

void Pause(int ms) {
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  // Fuzz targets meet a refused connection on every input; the pause that
  // spares a real controller would only slow them down.
  (void)ms;
#else
  QThread::msleep(static_cast<unsigned long>(ms));
#endif
}

}  // namespace

FtpSession::FtpSession(const FtpEndpoint &endpoint) : m_endpoint(endpoint) {}

FtpSession::~FtpSession() { Close(); }

bool FtpSession::Open() {
  Close();
  auto connection = std::make_unique<FtpConnection>();
  if (!connection->IsValid()) return false;
  QByteArray user;
  QByteArray password;
  if (ToWire(m_endpoint.user, &user) && ToWire(m_endpoint.password, &password) &&
      connection->Login(m_endpoint.address, user, password, m_endpoint.timeouts)) {
    connection->SetTransferProgress(m_transferProgress);
    m_connection = std::move(connection);
    return true;
  }
  Noted(false, connection.get());
  Pause(kConnectPauseMs);
  return false;
}

void FtpSession::SetTransferProgress(std::function<void(qint64, qint64)> progress) {
  m_transferProgress = std::move(progress);
  if (m_connection) m_connection->SetTransferProgress(m_transferProgress);
}

bool FtpSession::Noted(bool ok, FtpConnection *connection) {
  if (ok) return true;
  if (!connection)
    m_lastFailure = QStringLiteral("no connection to %1").arg(m_endpoint.address);
  else if (!connection->LastFailure().isEmpty())
    m_lastFailure = connection->LastFailure();
  else if (!connection->LastReplyLine().isEmpty())
    m_lastFailure = connection->LastReplyLine();
  else
    m_lastFailure = QStringLiteral("refused by the device before sending");
  return false;
}

void FtpSession::Close() { m_connection.reset(); }

bool FtpSession::IsOpen() const { return m_connection != nullptr; }

bool FtpSession::PutFile(const QString &remoteFolder, const QString &localFolder,
                         const QString &fileName, int transferFlags) {
  if (!IsOpen()) return false;
  bool ok = false;
  QByteArray remote;
  const auto local = Device::MapPath(localFolder + u'\\' + fileName);
  if (local && QFileInfo(*local).isFile() && ToWire(remoteFolder + fileName, &remote)) {
    QFile file(*local);
    if (file.open(QIODevice::ReadOnly))
      ok = m_connection->Upload(remote, &file, file.size(), transferFlags == kTransferAscii);
  }
  Noted(ok, m_connection.get());
  if (!ok) Pause(kTransferPauseMs);
  return Changed(ok);
}

bool FtpSession::GetFile(const QString &remoteFolder, const QString &localFolder,
                         const QString &fileName) {
  if (!IsOpen()) return false;
  bool ok = false;
  QByteArray remote;
  const auto local = Device::MapPath(localFolder + u'\\' + fileName);
  if (local && ToWire(remoteFolder + fileName, &remote)) {
    // Written beside the target and renamed over it only when complete, so
    // that a broken transfer never leaves half a file in place of the old.
    // Not flushed to disk: what is fetched is a copy of the controller's,
    // and its users make their own results durable.
    QTemporaryFile file(QFileInfo(*local).absolutePath() + QStringLiteral("/.ftp-get-XXXXXX"));
    if (!QFileInfo(*local).isDir() && file.open()) {
      ok = m_connection->Download(remote, &file) && file.flush() &&
           ::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(*local).constData()) == 0;
      if (ok) file.setAutoRemove(false);
    }
  }
  Noted(ok, m_connection.get());
  if (!ok) Pause(kTransferPauseMs);
  return ok;
}

bool FtpSession::CreateFolder(const QString &path) {
  QByteArray wire;
  return IsOpen() && ToWire(path, &wire) &&
         Changed(Noted(IsPositive(m_connection->Command("MKD " + wire)), m_connection.get()));
}

bool FtpSession::Exists(const QString &path) {
  // Looked up in the listing of its parent, which shows an empty folder as
  // well as a file; stepping into the folder instead would take a command
  // the controller does not know.
  QString parent = path;
  while (!parent.isEmpty() && (parent.back() == u'\\' || parent.back() == u'/')) parent.chop(1);
  const qsizetype cut = std::max(parent.lastIndexOf(u'\\'), parent.lastIndexOf(u'/')) + 1;
  const QString name = parent.mid(cut);
  parent.truncate(cut);
  if (name.isEmpty()) return ListFolder(path).has_value();  // the top folder
  const auto entries = ListFolder(parent);
  return entries && FindListedEntry(*entries, name);
}

RemoteFile FtpSession::ListedFile(const QString &remoteFolder, const QString &fileName) {
  const auto entries = ListFolder(remoteFolder);
  if (!entries) return {};
  const FtpListEntry *entry = FindListedEntry(*entries, fileName);
  if (!entry || entry->directory) return {RemoteFile::Absent};
  return {RemoteFile::Present, entry->size};
}

std::optional<QList<FtpListEntry>> FtpSession::ListFolder(const QString &path) {
  QByteArray wire;
  if (!IsOpen() || !ToWire(path, &wire)) return std::nullopt;
  QByteArray listing;
  int reply = 0;
  if (m_connection->List(wire, &listing, &reply)) return ParseFtpListing(listing);
  Noted(false, m_connection.get());
  // The server's refusal to list means no such folder.
  if (m_connection->IsAlive() && (reply == 450 || (reply >= 500 && reply < 600))) return QList<FtpListEntry>();
  // A listing cut short is no answer. A connection lost on the way closes
  // the session, so that the caller can tell that from "not there".
  if (!m_connection->IsAlive()) Close();
  return std::nullopt;
}

bool FtpSession::RemoveFile(const QString &remoteFolder, const QString &fileName) {
  QByteArray wire;
  return IsOpen() && ToWire(remoteFolder + fileName.toUpper(), &wire) &&
         Changed(Noted(IsPositive(m_connection->Command("DELE " + wire)), m_connection.get()));
}

bool FtpSession::ClearFolder(const QString &path) {
  // The whole listing is read before the first delete: the deletes go over
  // the same control connection. A missing folder is cleared.
  const auto entries = ListFolder(path);
  if (!entries) return false;
  for (const FtpListEntry &entry : *entries) {
    const QString name = entry.name.toUpper();
    if (name == u"." || name == u".." || entry.directory) continue;
    QByteArray target;
    if (!entry.exact || !ToWire(path + name, &target) || !Changed(IsPositive(m_connection->Command("DELE " + target))))
      return false;
  }
  return true;
}

bool FtpSession::RemoveFolder(const QString &path) {
  QByteArray wire;
  if (!IsOpen() || !ToWire(path, &wire)) return false;
  ClearFolder(path);
  return IsOpen() && Changed(Noted(IsPositive(m_connection->Command("RMD " + wire)), m_connection.get()));
}
