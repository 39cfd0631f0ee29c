#pragma once
// The pendant's channel to the controller's FTP server. Each client
// operation opens the session, issues a few commands over one control
// connection and closes it again. Paths go to the server as given,
// backslashes included; local folders are CE paths on the device.
#include <QString>
#include <memory>

class FtpSession {
 public:
  static constexpr int kTransferBinary = 2;

  FtpSession();
  ~FtpSession();
  FtpSession(const FtpSession &) = delete;
  FtpSession &operator=(const FtpSession &) = delete;

  // One connect attempt to the server address setting ("host" or
  // "host:port", port 21 by default) with the user and password of the
  // string table; 300 ms pause and a closed session on failure.
  bool Open();
  // Safe on a closed session; run by the destructor.
  void Close();
  bool IsOpen() const;

  // remote path = remoteFolder + fileName; local path = localFolder + "\" + fileName.
  bool PutFile(const QString &remoteFolder, const QString &localFolder, const QString &fileName,
               int transferFlags = kTransferBinary);
  // Overwrites an existing local file.
  bool GetFile(const QString &remoteFolder, const QString &localFolder, const QString &fileName);
  bool CreateFolder(const QString &path);
  // True for an existing folder, empty or not, and for an existing file.
  bool Exists(const QString &path);
  // The file name goes to the server in one letter case.
  bool RemoveFile(const QString &remoteFolder, const QString &fileName);
  // Deletes the plain files of a folder in listing order; stops at the first
  // refused delete. An empty or missing folder is cleared.
  bool ClearFolder(const QString &path);
  bool RemoveFolder(const QString &path);

  // A controller that vanishes must not hang the pendant: connecting gives up
  // after connectMs, a transfer or command with no progress for stallMs.
  // Defaults come from PP_FTP_CONNECT_TIMEOUT_MS / PP_FTP_STALL_TIMEOUT_MS.
  static void SetTimeouts(int connectMs, int stallMs);

 private:
  struct Connection;
  std::unique_ptr<Connection> m_connection;
  QString m_strUser;
  QString m_strPassword;
};
