#include "FtpSession.h"

#include "FtpConnection.h"
#include "FtpListing.h"
#include "platform/CodePage.h"
#include "platform/Device.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

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
    m_connection = std::move(connection);
    return true;
  }
  Pause(kConnectPauseMs);
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
  if (!ok) Pause(kTransferPauseMs);
  return ok;
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
  if (!ok) Pause(kTransferPauseMs);
  return ok;
}

bool FtpSession::CreateFolder(const QString &path) {
  QByteArray wire;
  return IsOpen() && ToWire(path, &wire) && IsPositive(m_connection->Command("MKD " + wire));
}

bool FtpSession::Exists(const QString &path) {
  QByteArray wire;
  if (!IsOpen() || !ToWire(path, &wire)) return false;
  QByteArray listing;
  int reply = 0;
  // A file lists itself, a folder its entries; only an empty folder (or a
  // server that lists nothing for a missing path) needs a closer look.
  if (m_connection->List(wire, &listing, &reply) && !listing.trimmed().isEmpty()) return true;
  const bool folder = m_connection->IsAlive() && IsFolder(wire);
  // No answer is no "it is not there": a connection lost on the way closes
  // the session, so that the caller can tell the two apart.
  if (m_connection && !m_connection->IsAlive()) Close();
  return folder;
}

bool FtpSession::IsFolder(const QByteArray &wirePath) {
  // Step into the folder and straight back to where the login put us:
  // every other command of the session relies on that folder.
  const QByteArray home = m_connection->EntryPath();
  if (home.isEmpty() || !IsPositive(m_connection->Command("CWD " + wirePath))) return false;
  if (!IsPositive(m_connection->Command("CWD " + home))) {
    // Stranded in another folder: the session cannot be trusted any more.
    Close();
  }
  return true;
}

bool FtpSession::RemoveFile(const QString &remoteFolder, const QString &fileName) {
  QByteArray wire;
  return IsOpen() && ToWire(remoteFolder + fileName.toUpper(), &wire) &&
         IsPositive(m_connection->Command("DELE " + wire));
}

bool FtpSession::ClearFolder(const QString &path) {
  QByteArray wire;
  if (!IsOpen() || !ToWire(path, &wire)) return false;
  QByteArray listing;
  int reply = 0;
  if (!m_connection->List(wire, &listing, &reply)) {
    // The server's refusal to list means no such folder: nothing to clear.
    // A listing cut short or a connection gone is a failure.
    return m_connection->IsAlive() && (reply == 450 || (reply >= 500 && reply < 600));
  }
  // The whole listing is read before the first delete: the deletes go over
  // the same control connection.
  for (const FtpListEntry &entry : ParseFtpListing(listing)) {
    const QString name = entry.name.toUpper();
    if (name == u"." || name == u".." || entry.directory) continue;
    QByteArray target;
    if (!entry.exact || !ToWire(path + name, &target) || !IsPositive(m_connection->Command("DELE " + target)))
      return false;
  }
  return true;
}

bool FtpSession::RemoveFolder(const QString &path) {
  QByteArray wire;
  if (!IsOpen() || !ToWire(path, &wire)) return false;
  ClearFolder(path);
  return IsOpen() && IsPositive(m_connection->Command("RMD " + wire));
}
