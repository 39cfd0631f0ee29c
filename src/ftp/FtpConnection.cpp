#include "FtpConnection.h"

#include <QIODevice>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <mutex>

namespace {

constexpr long kBufferBytes = 256 * 1024;

long Seconds(int ms) { return ms <= 0 ? 1 : (ms + 999) / 1000; }

// "host", "host:port" or "[v6]:port" -> host, port. False for an empty
// host or a port that is no number from 1 to 65535.
bool SplitAddress(const QString &address, QString *host, int *port) {
  QString text = address.trimmed();
  QString portText;
  if (text.startsWith(u'[')) {
    const qsizetype close = text.indexOf(u']');
    if (close < 0) return false;
    *host = text.mid(1, close - 1);
    const QString rest = text.mid(close + 1);
    if (!rest.isEmpty()) {
      if (!rest.startsWith(u':')) return false;
      portText = rest.mid(1);
    }
  } else if (text.count(u':') == 1) {
    *host = text.section(u':', 0, 0);
    portText = text.section(u':', 1);
  } else {
    *host = text;  // a bare IPv6 address has no port
  }
  *port = 21;
  if (!portText.isNull()) {
    bool ok = false;
    *port = portText.toInt(&ok);
    if (!ok || *port < 1 || *port > 65535) return false;
  }
  return !host->isEmpty();
}

// The base URL "ftp://host:port/" through libcurl's own URL parser, which
// refuses a host that is no host name or address.
QByteArray BaseUrl(const QString &host, int port) {
  CURLU *url = curl_url();
  if (!url) return {};
  QByteArray result;
  QByteArray hostText = host.toUtf8();
  if (host.contains(u':')) hostText = '[' + hostText + ']';
  char *text = nullptr;
  if (curl_url_set(url, CURLUPART_SCHEME, "ftp", 0) == CURLUE_OK &&
      curl_url_set(url, CURLUPART_HOST, hostText.constData(), 0) == CURLUE_OK &&
      curl_url_set(url, CURLUPART_PORT, QByteArray::number(port).constData(), 0) == CURLUE_OK &&
      curl_url_set(url, CURLUPART_PATH, "/", 0) == CURLUE_OK &&
      curl_url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK) {
    result = text;
  }
  curl_free(text);
  curl_url_cleanup(url);
  return result;
}

// Failures that the server answered on the control connection, which
// stays usable after them (libcurl keeps it too).
bool IsAnsweredFailure(CURLcode result) {
  switch (result) {
    case CURLE_REMOTE_FILE_NOT_FOUND:   // 550 to RETR
    case CURLE_FTP_COULDNT_RETR_FILE:   // other refusals of RETR or LIST
    case CURLE_UPLOAD_FAILED:           // STOR refused
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_PARTIAL_FILE:            // the server reported the broken transfer
      return true;
    default:
      return false;
  }
}

}  // namespace

bool FtpConnection::StartLibrary() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] { started = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return started;
}

FtpConnection::FtpConnection() {
  if (StartLibrary()) m_curl = curl_easy_init();
}

FtpConnection::~FtpConnection() {
  // Sends QUIT on a live connection and closes every socket of the handle.
  if (m_curl) curl_easy_cleanup(m_curl);
  curl_slist_free_all(m_quote);
}

bool FtpConnection::Login(const QString &address, const QByteArray &user,
                          const QByteArray &password, const FtpTimeouts &timeouts) {
  if (!m_curl || m_loggedIn) return false;
  QString host;
  int port = 0;
  if (!SplitAddress(address, &host, &port)) return false;
  m_baseUrl = BaseUrl(host, port);
  if (m_baseUrl.isEmpty()) return false;
  m_user = user;
  m_password = password;
  m_timeouts = timeouts;
  Prepare(Request::Login);
  if (!Perform(m_baseUrl)) return false;
  m_loggedIn = true;
  return true;
}

void FtpConnection::Prepare(Request request) {
  // Start each request from the library's defaults so that nothing of the
  // previous one (a quote list, upload mode) carries over; the connection
  // itself stays in the handle.
  curl_easy_reset(m_curl);
  curl_slist_free_all(m_quote);
  m_quote = nullptr;

  CURL *c = m_curl;
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(c, CURLOPT_PROXY, "");  // direct, whatever the environment says
  curl_easy_setopt(c, CURLOPT_USERNAME, m_user.constData());
  curl_easy_setopt(c, CURLOPT_PASSWORD, m_password.constData());
  // Active mode from the control connection's own address, with the plain
  // PORT command that every server knows.
  curl_easy_setopt(c, CURLOPT_FTPPORT, "-");
  curl_easy_setopt(c, CURLOPT_FTP_USE_EPRT, 0L);
  curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
  curl_easy_setopt(c, CURLOPT_MAXCONNECTS, 1L);
  curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &FtpConnection::OpenSocket);
  curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, this);

  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_timeouts.connectMs));
  curl_easy_setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(m_timeouts.stallMs));
  curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, Seconds(m_timeouts.stallMs));
  // libcurl's own low-speed check averages over several seconds; the
  // progress callback sees the very moment the bytes stopped.
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &FtpConnection::Progress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);

  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &FtpConnection::KeepReplyLine);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, m_errorText);
  curl_easy_setopt(c, CURLOPT_BUFFERSIZE, kBufferBytes);
  curl_easy_setopt(c, CURLOPT_UPLOAD_BUFFERSIZE, kBufferBytes);
  // Service aid: libcurl's protocol trace on stderr.
  if (qEnvironmentVariableIsSet("PP_FTP_TRACE")) curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);

  switch (request) {
    case Request::Login:
    case Request::Command:
      // Only the login or the quoted command: no transfer, no other command.
      curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
      break;
    case Request::Upload:
      curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
      break;
    case Request::Download:
    case Request::List:
      break;
  }
}

bool FtpConnection::Perform(const QByteArray &url) {
  curl_easy_setopt(m_curl, CURLOPT_URL, url.constData());
  m_moved = 0;
  m_sinceMoved.start();
  m_lastReply = 0;
  m_replyLine.clear();
  m_errorText[0] = '\0';
  const CURLcode result = curl_easy_perform(m_curl);
  long reply = 0;
  curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &reply);
  m_lastReply = static_cast<int>(reply);
  m_lastFailure.clear();
  if (result != CURLE_OK) {
    const QString reason = QString::fromUtf8(m_errorText[0] ? m_errorText : curl_easy_strerror(result));
    m_lastFailure = m_replyLine.isEmpty() ? reason
                                          : QStringLiteral("%1 (%2)").arg(QString::fromLatin1(m_replyLine), reason);
  }
  curl_socket_t socket = CURL_SOCKET_BAD;
  if (curl_easy_getinfo(m_curl, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK) socket = CURL_SOCKET_BAD;
  // The control connection is still in step with the server only when the
  // request ended with the server's own answer. After anything else (a
  // timeout, a lost or garbled connection, an aborted transfer) a late reply
  // could be taken for the answer to the next command, so the connection is
  // given up and with it the session.
  m_alive = socket != CURL_SOCKET_BAD && (result == CURLE_OK || IsAnsweredFailure(result));
  if (!m_alive && m_loggedIn) {
    curl_easy_cleanup(m_curl);
    m_curl = nullptr;
  }
  return result == CURLE_OK;
}

QByteArray FtpConnection::UrlFor(const QByteArray &path, bool folder) const {
  // Every byte but the unreserved ones is escaped, "/" and "\" included:
  // libcurl decodes the path again and, in NOCWD mode, sends it whole. A
  // folder gets a final "/", which libcurl takes off for the LIST argument.
  if (path.isEmpty()) return folder ? m_baseUrl : QByteArray();
  return m_baseUrl + path.toPercentEncoding() + (folder ? "/" : "");
}

int FtpConnection::Command(const QByteArray &command) {
  if (!m_curl || !m_loggedIn) return 0;
  Prepare(Request::Command);
  // "*": a refusal is a reply like any other, not a reason for libcurl to
  // give up the connection.
  m_quote = curl_slist_append(nullptr, QByteArray('*' + command).constData());
  if (!m_quote) return 0;
  curl_easy_setopt(m_curl, CURLOPT_QUOTE, m_quote);
  return Perform(m_baseUrl) ? m_lastReply : 0;
}

bool FtpConnection::Download(const QByteArray &remotePath, QIODevice *sink) {
  if (!m_curl || !m_loggedIn || remotePath.isEmpty() || remotePath.endsWith('/')) return false;
  Prepare(Request::Download);
  curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &FtpConnection::WriteToDevice);
  curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, sink);
  m_transferring = true;
  const bool ok = Perform(UrlFor(remotePath, false));
  m_transferring = false;
  return ok;
}

bool FtpConnection::Upload(const QByteArray &remotePath, QIODevice *source, qint64 size, bool text) {
  if (!m_curl || !m_loggedIn || remotePath.isEmpty() || remotePath.endsWith('/')) return false;
  Prepare(Request::Upload);
  curl_easy_setopt(m_curl, CURLOPT_READFUNCTION, &FtpConnection::ReadFromDevice);
  curl_easy_setopt(m_curl, CURLOPT_READDATA, source);
  curl_easy_setopt(m_curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
  if (text) curl_easy_setopt(m_curl, CURLOPT_TRANSFERTEXT, 1L);
  m_transferring = true;
  const bool ok = Perform(UrlFor(remotePath, false));
  m_transferring = false;
  return ok;
}

bool FtpConnection::List(const QByteArray &path, QByteArray *listing, int *replyCode) {
  listing->clear();
  *replyCode = 0;
  if (!m_curl || !m_loggedIn) return false;
  Prepare(Request::List);
  curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &FtpConnection::WriteToBuffer);
  curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, listing);
  const bool ok = Perform(UrlFor(path, true));
  *replyCode = m_lastReply;
  if (!ok) listing->clear();
  return ok;
}

curl_socket_t FtpConnection::OpenSocket(void *self, curlsocktype, curl_sockaddr *address) {
  auto *connection = static_cast<FtpConnection *>(self);
  // After the login the only socket this handle may open is the one it
  // listens on for active-mode data (bound to port 0). A connection to a
  // server port would be a second control connection: refuse it.
  if (connection->m_loggedIn) {
    int port = -1;
    if (address->family == AF_INET)
      port = ntohs(reinterpret_cast<const sockaddr_in *>(&address->addr)->sin_port);
    else if (address->family == AF_INET6)
      port = ntohs(reinterpret_cast<const sockaddr_in6 *>(&address->addr)->sin6_port);
    if (port != 0) return CURL_SOCKET_BAD;
  }
  return ::socket(address->family, address->socktype, address->protocol);
}

size_t FtpConnection::KeepReplyLine(char *data, size_t size, size_t count, void *self) {
  // libcurl hands every reply line of the control connection here.
  QByteArray line(data, static_cast<qsizetype>(size * count));
  line = line.trimmed();
  if (!line.isEmpty()) static_cast<FtpConnection *>(self)->m_replyLine = line.left(200);
  return size * count;
}

int FtpConnection::Progress(void *self, curl_off_t downloadTotal, curl_off_t downloaded, curl_off_t uploadTotal,
                            curl_off_t uploaded) {
  // Called at least once a second while a request runs. Nothing moved for
  // the stall time, data or the reply awaited: give up (the connection goes).
  auto *connection = static_cast<FtpConnection *>(self);
  const curl_off_t moved = downloaded + uploaded;
  if (moved != connection->m_moved) {
    connection->m_moved = moved;
    connection->m_sinceMoved.start();
    if (connection->m_transferring && connection->m_transferProgress)
      connection->m_transferProgress(moved, downloadTotal + uploadTotal);
    return 0;
  }
  return connection->m_sinceMoved.hasExpired(connection->m_timeouts.stallMs) ? 1 : 0;
}

size_t FtpConnection::WriteToDevice(char *data, size_t size, size_t count, void *device) {
  const qint64 bytes = static_cast<qint64>(size * count);
  return static_cast<QIODevice *>(device)->write(data, bytes) == bytes ? size * count : 0;
}

size_t FtpConnection::WriteToBuffer(char *data, size_t size, size_t count, void *buffer) {
  static_cast<QByteArray *>(buffer)->append(data, static_cast<qsizetype>(size * count));
  return size * count;
}

size_t FtpConnection::ReadFromDevice(char *data, size_t size, size_t count, void *device) {
  const qint64 bytes = static_cast<QIODevice *>(device)->read(data, static_cast<qint64>(size * count));
  return bytes < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(bytes);
}
