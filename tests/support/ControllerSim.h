#pragma once
// The controller's FTP server for a test: tools/controller-sim on a free
// loopback port, serving one host folder as the controller's file system.
//
//   ControllerSim sim;                       // own temporary root
//   QVERIFY2(sim.isRunning(), qPrintable(sim.log()));
//   FtpSession ftp(ControllerEndpoint(sim.address()));  // "127.0.0.1:PORT"
//   sim.write("\\PP_APP\\PP_MENU.INI", text);
//   ...
//   QCOMPARE(sim.commands().filter("USER").size(), 1);  // commands received
//   sim.restart({"--refuse-dele", "B*.ZIP"}); // same root, new fault switches
//
// Fault switches are those of `controller-sim --help` (--refuse-login,
// --refuse-dele [GLOB], --drop-retr BYTES [GLOB], --stall-stor BYTES [GLOB],
// --hang-on CMD, ...). The destructor stops the server with SIGTERM.
//
// The server always runs --strict: it refuses every command the controller
// does not know, and the running test fails when one arrived (found when the
// log is cleared or the server stops), since libcurl falls back from some
// refusals without a word.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class ControllerSim {
 public:
  // root: host folder of the controller's file system (must exist); empty
  // for a temporary folder owned by this object.
  explicit ControllerSim(const QString &root = QString(), const QStringList &switches = {});
  ~ControllerSim();
  ControllerSim(const ControllerSim &) = delete;
  ControllerSim &operator=(const ControllerSim &) = delete;

  // Started and listening; when not, log() says why.
  bool isRunning() const;
  quint16 port() const { return m_port; }
  QString address() const;  // "127.0.0.1:PORT"
  QString root() const { return m_root; }

  // Stops the server and starts it again on the same root with these
  // switches (none: a well-behaved server), on the same port when it is
  // still free. The log starts afresh. False when it did not come up.
  bool restart(const QStringList &switches = {});
  // Runs with exactly these switches (none: a well-behaved server),
  // restarted only when they differ from the running ones or it is down.
  bool setFaults(const QStringList &switches);
  // Before a test: a well-behaved server holding no files, the log empty.
  bool reset();
  // Stops the server: its port refuses connections, its files stay
  // readable here, and restart() brings it back.
  void stop();

  // What the server wrote to stderr since it started: one line per
  // connection, command ("[2] <- DELE \PP_APP\X.ZIP", passwords masked),
  // reply ("[2] -> 250 File removed.") and transfer; "[n]" numbers the
  // connections from 1.
  QString log() const;
  // Forgets the log so far: log(), count() and commands() see what follows.
  void clearLog();
  // The commands received, "VERB argument", in order.
  QStringList commands() const;
  // The commands refused as unknown to the controller that no check has
  // seen yet; they count as seen.
  QStringList takeRefusedCommands();

  // Files of the controller by controller path ("\PP_APP\X.ZIP" or
  // "PP_APP/X.ZIP"), every component matched ignoring case as the server
  // does. write creates missing folders; read of a missing file is empty.
  QString hostPath(const QString &controllerPath) const;
  void write(const QString &controllerPath, const QByteArray &bytes) const;
  QByteArray read(const QString &controllerPath) const;
  bool exists(const QString &controllerPath) const;
  // Names in a controller folder, sorted, folders with a trailing "/".
  QStringList entries(const QString &controllerFolder) const;

 private:
  bool start(const QStringList &switches, quint16 port);
  void checkCommandSet();

  std::unique_ptr<QTemporaryDir> m_ownRoot;
  QTemporaryDir m_logDir;
  QString m_root;
  QString m_logPath;
  qint64 m_logOffset = 0;
  qint64 m_checkedOffset = 0;  // of the log, looked through for refused commands
  QProcess m_process;
  QStringList m_switches;
  quint16 m_port = 0;
  int m_starts = 0;
};
