#pragma once
// The controller's application folder "\PP_APP\", the master copy from which
// every pendant is rebuilt: the menu file and one archive per application,
// reached over FTP. Each operation of the engine works over one connection
// of its own, opened here and closed when it goes out of scope.
#include "ftp/FtpEndpoint.h"
#include "ftp/FtpSession.h"
#include "platform/Outcome.h"

#include <QHash>
#include <QString>

class ControllerConnection {
 public:
  // Connects at once; Opened() says whether it worked.
  ControllerConnection(const FtpEndpoint &endpoint, const QString &folder);
  ControllerConnection(const ControllerConnection &) = delete;
  ControllerConnection &operator=(const ControllerConnection &) = delete;

  // Success, or the connect failure of the named operation.
  Outcome Opened(const QString &operation) const;
  // False once the controller stopped answering.
  bool IsOpen() const { return m_ftp.IsOpen(); }
  // Told the bytes moved and the file's size while a file is fetched or sent.
  void SetTransferProgress(std::function<void(qint64 done, qint64 total)> progress) {
    m_ftp.SetTransferProgress(std::move(progress));
  }

  // The folder is there, empty or not.
  bool HasFolder();
  Outcome CreateFolder();
  // RETR into localFolder, replacing the file there only when complete.
  Outcome Fetch(const QString &localFolder, const QString &fileName);
  // STOR from localFolder, verified by the size the controller then lists:
  // a file that arrived short or not at all fails as a refused STOR does.
  // The failure names shownAs, or else the file.
  Outcome Send(const QString &localFolder, const QString &fileName, const QString &shownAs = {});
  // Send in two halves, so that many files are verified by one listing:
  // STOR alone, then each file (name, size) checked against what the
  // controller lists; the first listed short, long or not at all fails.
  Outcome Put(const QString &localFolder, const QString &fileName, const QString &shownAs = {});
  Outcome Verify(const QList<QPair<QString, qint64>> &files);
  // The file as the controller lists it in the folder; Unanswered when the
  // controller could not be asked.
  RemoteFile Stat(const QString &fileName);
  // The size of each plain file of the folder by one listing, names in upper
  // case; empty without an answer.
  QHash<QString, qint64> ListedSizes();
  Outcome RemoveFile(const QString &fileName);
  // Deletes a file that may not be there; the answer does not matter.
  void DiscardFile(const QString &fileName);
  // Every plain file of the folder, then the folder.
  Outcome RemoveFolder();

 private:
  FtpSession m_ftp;
  QString m_folder;  // "\PP_APP\": sent before file names as it stands
};

enum class ControllerFolderState { Present, Absent, Unreachable };

// Asks over a connection of its own whether the controller holds the folder.
// A controller that stopped answering said nothing about its folder: that is
// Unreachable, never Absent.
ControllerFolderState ProbeControllerFolder(const FtpEndpoint &endpoint, const QString &folder);
