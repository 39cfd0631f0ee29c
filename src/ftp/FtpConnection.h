#pragma once
// One logged-in FTP control connection over a libcurl easy handle. Every
// request reuses the handle's connection; once logged in, the handle may not
// open another control connection, so a controller that went away shows as
// failed requests rather than a silent second login.
//
// Paths and commands are in wire form: bytes in the device code page, sent
// to the server unchanged (no CWD walking, backslashes kept).
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include "ftp/FtpEndpoint.h"

#include <curl/curl.h>

#include <functional>

class QIODevice;

class FtpConnection {
 public:
  // Starts libcurl once per process; false when it cannot start.
  static bool StartLibrary();

  FtpConnection();
  ~FtpConnection();
  FtpConnection(const FtpConnection &) = delete;
  FtpConnection &operator=(const FtpConnection &) = delete;

  // False when the library gave no handle.
  bool IsValid() const { return m_curl != nullptr; }

  // Connects to "host", "host:port" or "[v6]:port" (port 21 by default)
  // and logs in. One attempt.
  bool Login(const QString &address, const QByteArray &user, const QByteArray &password,
             const FtpTimeouts &timeouts);
  // True while the control connection is usable. It is given up after any
  // request that did not end with the server's answer; every later request
  // then fails at once.
  bool IsAlive() const { return m_alive; }

  // Sends one command and returns the server's reply code; 0 when no reply
  // came (connection lost, timeout).
  int Command(const QByteArray &command);
  // RETR into sink / STOR from source; binary unless text asks for ASCII.
  bool Download(const QByteArray &remotePath, QIODevice *sink);
  bool Upload(const QByteArray &remotePath, QIODevice *source, qint64 size, bool text = false);
  // Told the bytes moved and the size when known (else 0) while a RETR or
  // STOR runs; for the view, which may repaint there.
  using TransferProgress = std::function<void(qint64 done, qint64 total)>;
  void SetTransferProgress(TransferProgress progress) { m_transferProgress = std::move(progress); }
  // What the server or the library said when the last request failed:
  // its last reply line and the library's reason. Empty after a success.
  const QString &LastFailure() const { return m_lastFailure; }
  // The server's last reply line of the last request.
  QString LastReplyLine() const { return QString::fromLatin1(m_replyLine); }

  // LIST of a path. On a reply the code is stored in *replyCode; the lines
  // in *listing when it is 2xx. False when the listing did not complete.
  bool List(const QByteArray &path, QByteArray *listing, int *replyCode);

 private:
  enum class Request { Login, Command, Download, Upload, List };
  void Prepare(Request request);
  bool Perform(const QByteArray &url);
  QByteArray UrlFor(const QByteArray &path, bool folder) const;

  static curl_socket_t OpenSocket(void *self, curlsocktype purpose, curl_sockaddr *address);
  static size_t WriteToDevice(char *data, size_t size, size_t count, void *device);
  static size_t WriteToBuffer(char *data, size_t size, size_t count, void *buffer);
  static size_t ReadFromDevice(char *data, size_t size, size_t count, void *device);
  static size_t KeepReplyLine(char *data, size_t size, size_t count, void *self);
  static int Progress(void *self, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded);

  CURL *m_curl = nullptr;
  curl_slist *m_quote = nullptr;
  QByteArray m_baseUrl;  // "ftp://host:port/"
  QByteArray m_user;
  QByteArray m_password;
  FtpTimeouts m_timeouts;
  bool m_loggedIn = false;
  bool m_alive = false;
  int m_lastReply = 0;  // the server's last reply code in the last request
  QByteArray m_replyLine;  // and its last reply line
  char m_errorText[CURL_ERROR_SIZE] = {};
  QString m_lastFailure;
  TransferProgress m_transferProgress;
  bool m_transferring = false;
  // Stall watch of the running request: bytes moved so far and since when.
  curl_off_t m_moved = 0;
  QElapsedTimer m_sinceMoved;
};
