#pragma once
// The pendant's channel to the controller's FTP server. Each client
// operation opens the session, issues a few commands over one control
// connection and closes it again. Paths go to the server as given,
// backslashes included; local folders are CE paths on the device.
#include "ftp/FtpEndpoint.h"
#include "ftp/FtpListing.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class FtpConnection;

// A file as the server lists it in its folder.
struct RemoteFile {
  // Unanswered: the server could not be asked, or the listing did not
  // arrive whole; that says nothing about the file.
  enum State { Present, Absent, Unanswered };
  State state = Unanswered;
  qint64 size = -1;  // bytes as listed, when Present
};

class FtpSession {
 public:
  static constexpr int kTransferBinary = 2;

  explicit FtpSession(const FtpEndpoint &endpoint);
  ~FtpSession();
  FtpSession(const FtpSession &) = delete;
  FtpSession &operator=(const FtpSession &) = delete;

  // One connect attempt to the endpoint with its user and password; 300 ms
  // pause and a closed session on failure.
  bool Open();
  // Safe on a closed session; run by the destructor.
  void Close();
  bool IsOpen() const;

  // Told the bytes moved and the size when known (else 0) while a file
  // moves; kept across Open and Close.
  void SetTransferProgress(std::function<void(qint64 done, qint64 total)> progress);
  // What the server or the library said when the last operation failed, for
  // the technician: a reply line, a timeout, a refused connection.
  const QString &LastFailure() const { return m_lastFailure; }

  // remote path = remoteFolder + fileName; local path = localFolder + "\" + fileName,
  // a CE path on the device. One attempt each, 100 ms pause after a failure.
  // Transfers are binary (transferFlags 1 asks for ASCII).
  bool PutFile(const QString &remoteFolder, const QString &localFolder, const QString &fileName,
               int transferFlags = kTransferBinary);
  // Replaces an existing local file; after a failed transfer it is as it was.
  bool GetFile(const QString &remoteFolder, const QString &localFolder, const QString &fileName);
  bool CreateFolder(const QString &path);
  // True for an existing folder, empty or not, and for an existing file.
  // When the connection is lost on the way the session is closed as well:
  // IsOpen() then tells "no answer" from "not there".
  bool Exists(const QString &path);
  // The plain file fileName of remoteFolder by one listing of the folder:
  // its exact spelling first, else ignoring case, as the controller finds
  // names. A folder the server refuses to list holds nothing. A connection
  // lost on the way closes the session.
  RemoteFile ListedFile(const QString &remoteFolder, const QString &fileName);
  // The entries of remoteFolder as listed, by one listing; nullopt without
  // an answer.
  std::optional<QList<FtpListEntry>> ListedEntries(const QString &remoteFolder) { return ListFolder(remoteFolder); }
  // The file name goes to the server in upper case, the way the controller
  // keeps its names.
  bool RemoveFile(const QString &remoteFolder, const QString &fileName);
  // Deletes the plain files of a folder (path ends with a separator) in
  // listing order, names in upper case; stops at the first refused delete.
  // Subfolders stay. An empty or missing folder is cleared.
  bool ClearFolder(const QString &path);
  // ClearFolder (its result does not matter), then the folder itself.
  bool RemoveFolder(const QString &path);

 private:
  // The entries of a folder; empty when the server refuses to list it (no
  // such folder), nullopt without an answer.
  std::optional<QList<FtpListEntry>> ListFolder(const QString &path);

  // Remembers why an operation failed; returns ok.
  bool Noted(bool ok, FtpConnection *connection);

  // The library handle and its control connection: null while closed.
  std::unique_ptr<FtpConnection> m_connection;
  FtpEndpoint m_endpoint;
  std::function<void(qint64, qint64)> m_transferProgress;
  QString m_lastFailure;
};
