// The FTP session against the controller simulator on loopback: every
// operation's contract, the failures a pendant meets (refused login, no
// server, refused deletes, broken and stalled transfers, servers that answer
// nonsense) and the one control connection per Open.
#include "ControllerSim.h"
#include "Sandbox.h"
#include "app/InstallerApp.h"
#include "app/StringTable.h"
#include "ftp/FtpListing.h"
#include "ftp/FtpSession.h"

#include <QDir>
#include <QtTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString kFolder = QStringLiteral("\\PP_APP\\");
const QString kLocal = QStringLiteral("\\DiskOnChip\\PP_APP");

QByteArray Pattern(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = char((i * 7 + i / 256) & 0xff);
  return bytes;
}

int OpenDescriptors() { return int(QDir(QStringLiteral("/proc/self/fd")).count()); }

// A loopback port held bound but not listening: connections are refused.
class LoopbackPort {
 public:
  LoopbackPort() {
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
      return;
    m_port = ntohs(address.sin_port);
  }
  ~LoopbackPort() {
    if (m_fd >= 0) ::close(m_fd);
  }
  QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
  bool isValid() const { return m_port != 0; }

 private:
  int m_fd = -1;
  quint16 m_port = 0;
};

}  // namespace

class TestFtpSession : public QObject {
  Q_OBJECT

 private:
  // The simulator with these fault switches, and the server address setting
  // pointed at it.
  bool useServer(const QStringList &switches = {}) {
    const bool up = m_sim->setFaults(switches);
    FtpServerAddress() = m_sim->address();
    return up;
  }

  std::unique_ptr<ControllerSim> m_sim;

 private slots:
  void initTestCase() {
    m_sim = std::make_unique<ControllerSim>();
    QVERIFY2(m_sim->isRunning(), qPrintable(m_sim->log()));
    FtpSession::SetTimeouts(3000, 2000);
  }
  void init() {
    QVERIFY2(m_sim->reset(), qPrintable(m_sim->log()));
    FtpServerAddress() = m_sim->address();
  }
  void cleanupTestCase() {
    m_sim.reset();
    FtpSession::SetTimeouts(0, 0);
  }

  void serverAddressDefault();
  void listingLines_data();
  void listingLines();
  void openFailures_data();
  void openFailures();
  void closedSessionDoesNothing();
  void putAndGet();
  void transferFailures_data();
  void transferFailures();
  void exists_data();
  void exists();
  void removeFileIgnoresCase();
  void createFolder();
  void clearAndRemoveFolder();
  void clearFolderStopsAtRefusedDelete();
  void brokenTransfers_data();
  void brokenTransfers();
  void commandFaults_data();
  void commandFaults();
  void awkwardNames();
  void oneControlConnectionPerOpen();
};

void TestFtpSession::serverAddressDefault() {
  FtpServerAddress().clear();
  { FtpSession session; }
  QCOMPARE(FtpServerAddress(), LoadString(4005));
  FtpServerAddress() = QStringLiteral("127.0.0.1:2121");
  { FtpSession session; }
  QCOMPARE(FtpServerAddress(), QStringLiteral("127.0.0.1:2121"));
}

void TestFtpSession::listingLines_data() {
  QTest::addColumn<QByteArray>("listing");
  QTest::addColumn<QStringList>("names");  // folders end with "/"
  QTest::newRow("unix file and folder")
      << QByteArray("-rw-r--r--   1 root     root         1024 Dec 06 02:24 Tool.zip\r\n"
                    "drwxr-xr-x   2 owner    group        4096 Jan  1  2023 SUB\r\n")
      << QStringList{"Tool.zip", "SUB/"};
  QTest::newRow("unix name with blanks, no group column")
      << QByteArray("-rw-r--r-- 1 ftp 42 Mar 10 09:05  two  blanks 1 Jan 01 12:00 .ZIP\n")
      << QStringList{" two  blanks 1 Jan 01 12:00 .ZIP"};
  QTest::newRow("unix link") << QByteArray("lrwxrwxrwx 1 a b 6 Dec 06 02:24 LINK.ZIP -> A.ZIP\r\n")
                             << QStringList{"LINK.ZIP"};
  QTest::newRow("dos lines") << QByteArray("01-31-24  09:15AM       <DIR>          PP_APP\r\n"
                                           "01-31-2024  21:15             2048 My App.ZIP\r\n")
                             << QStringList{"PP_APP/", "My App.ZIP"};
  QTest::newRow("lines that name nothing")
      << QByteArray("total 12\r\n\r\ngarbage line\r\n-rw-r--r-- 1 a b x Dec 06 02:24 BAD\r\n") << QStringList();
  QTest::newRow("code page names") << QByteArray("-rw-r--r-- 1 a b 1 Dec 06 02:24 \x83\x41\x83\x76\x83\x8a.ZIP\r\n")
                                   << QStringList{QStringLiteral("\u30a2\u30d7\u30ea.ZIP")};
}

void TestFtpSession::listingLines() {
  QFETCH(QByteArray, listing);
  QFETCH(QStringList, names);
  QStringList found;
  for (const FtpListEntry &entry : ParseFtpListing(listing)) {
    found.append(entry.name + (entry.directory ? QStringLiteral("/") : QString()));
    QVERIFY(entry.exact);
  }
  QCOMPARE(found, names);
}

void TestFtpSession::openFailures_data() {
  QTest::addColumn<QStringList>("switches");
  QTest::addColumn<QString>("address");  // empty: the simulator's
  QTest::newRow("refused login") << QStringList{"--refuse-login"} << QString();
  QTest::newRow("wrong password") << QStringList{"--password", "another"} << QString();
  QTest::newRow("garbage greeting") << QStringList{"--garbage-on", "CONNECT"} << QString();
  QTest::newRow("garbage answer to the password") << QStringList{"--garbage-on", "PASS"} << QString();
  QTest::newRow("connection closed at USER") << QStringList{"--hangup-on", "USER"} << QString();
  QTest::newRow("no answer to the password") << QStringList{"--hang-on", "PASS"} << QString();
  QTest::newRow("no server at the port") << QStringList() << QStringLiteral("closed");
  QTest::newRow("port out of range") << QStringList() << QStringLiteral("127.0.0.1:70000");
  QTest::newRow("not an address") << QStringList() << QStringLiteral("127.0.0.1/x@y");
}

void TestFtpSession::openFailures() {
  QFETCH(QStringList, switches);
  QFETCH(QString, address);
  QVERIFY(useServer(switches));
  LoopbackPort closedPort;
  if (address == u"closed") {
    QVERIFY(closedPort.isValid());
    address = closedPort.address();
  }
  if (!address.isEmpty()) FtpServerAddress() = address;

  const int descriptors = OpenDescriptors();
  FtpSession session;
  QVERIFY(!session.Open());
  QVERIFY(!session.IsOpen());
  QVERIFY(!session.Exists(QStringLiteral("\\")));
  QCOMPARE(OpenDescriptors(), descriptors);  // nothing of the attempt stays open

  // Nothing of the failed attempt stays: the next Open starts afresh.
  QVERIFY(useServer());
  QVERIFY(session.Open());
  QVERIFY(session.Exists(QStringLiteral("\\")));
}

void TestFtpSession::closedSessionDoesNothing() {
  Sandbox box;
  box.write(kLocal + "\\A.ZIP", "a");
  m_sim->write("PP_APP/B.ZIP", "b");
  FtpSession session;
  for (int round = 0; round < 2; ++round) {
    const QStringList before = m_sim->commands();
    QVERIFY(!session.PutFile(kFolder, kLocal, "A.ZIP"));
    QVERIFY(!session.GetFile(kFolder, kLocal, "B.ZIP"));
    QVERIFY(!session.CreateFolder("\\NEW\\"));
    QVERIFY(!session.Exists(kFolder));
    QVERIFY(!session.RemoveFile(kFolder, "B.ZIP"));
    QVERIFY(!session.ClearFolder(kFolder));
    QVERIFY(!session.RemoveFolder(kFolder));
    session.Close();
    QCOMPARE(m_sim->commands(), before);
    // Second round: closed again after a real session.
    QVERIFY(session.Open());
    session.Close();
  }
  QVERIFY(m_sim->exists("PP_APP/B.ZIP"));
  QVERIFY(!box.exists(kLocal + "\\B.ZIP"));
}

void TestFtpSession::putAndGet() {
  Sandbox box;
  const QByteArray bytes = Pattern(300000) + "\r\n\n\r";  // line ends must pass untouched
  box.write(kLocal + "\\Tool.zip", bytes);
  box.write(kLocal + "\\EMPTY.INI", QByteArray());
  m_sim->write("PP_APP/Tool.ZIP", "an older archive");

  FtpSession session;
  QVERIFY(session.Open());
  // The local name is found ignoring case; the remote one replaces the file
  // that the controller holds under another case.
  QVERIFY(session.PutFile(kFolder, kLocal, "TOOL.ZIP"));
  QVERIFY(session.PutFile(kFolder, kLocal, "EMPTY.INI"));
  QCOMPARE(m_sim->entries("PP_APP"), QStringList({"EMPTY.INI", "Tool.ZIP"}));
  QCOMPARE(m_sim->read("PP_APP/Tool.ZIP"), bytes);
  QVERIFY(m_sim->commands().contains("STOR \\PP_APP\\TOOL.ZIP"));  // backslashes as given

  // A get replaces the local file.
  box.write("\\DiskOnChip\\Copy\\tool.zip", "stale local copy, longer than nothing at all");
  QVERIFY(session.GetFile(kFolder, "\\DiskOnChip\\Copy", "TOOL.ZIP"));
  QCOMPARE(box.read("\\DiskOnChip\\Copy\\tool.zip"), bytes);
  QVERIFY(session.GetFile(kFolder, "\\DiskOnChip\\Copy", "EMPTY.INI"));
  QVERIFY(box.exists("\\DiskOnChip\\Copy\\EMPTY.INI"));
  QCOMPARE(box.read("\\DiskOnChip\\Copy\\EMPTY.INI"), QByteArray());
  QVERIFY(m_sim->commands().contains("TYPE I"));
}

void TestFtpSession::transferFailures_data() {
  QTest::addColumn<bool>("put");
  QTest::addColumn<QString>("remoteFolder");
  QTest::addColumn<QString>("localFolder");
  QTest::addColumn<QString>("name");
  QTest::newRow("put of a missing local file") << true << kFolder << kLocal << "NONE.ZIP";
  QTest::newRow("put into a missing remote folder") << true << "\\NONE\\" << kLocal << "A.ZIP";
  QTest::newRow("put from outside the device") << true << kFolder << "\\DiskOnChip\\..\\.." << "A.ZIP";
  QTest::newRow("put of a folder") << true << kFolder << "\\DiskOnChip" << "PP_APP";
  QTest::newRow("get of a missing remote file") << false << kFolder << kLocal << "NONE.ZIP";
  QTest::newRow("get into a missing local folder") << false << kFolder << "\\DiskOnChip\\NONE" << "B.ZIP";
  QTest::newRow("get to outside the device") << false << kFolder << "\\DiskOnChip\\..\\.." << "B.ZIP";
  QTest::newRow("get of a remote folder") << false << "\\" << kLocal << "PP_APP";
  QTest::newRow("get from above the controller's root") << false << "\\..\\..\\..\\etc\\" << kLocal << "passwd";
}

void TestFtpSession::transferFailures() {
  QFETCH(bool, put);
  QFETCH(QString, remoteFolder);
  QFETCH(QString, localFolder);
  QFETCH(QString, name);
  Sandbox box;
  box.write(kLocal + "\\A.ZIP", "local a");
  box.write(kLocal + "\\B.ZIP", "local b");
  m_sim->write("PP_APP/B.ZIP", "remote b");
  const QStringList before = m_sim->entries("PP_APP");

  FtpSession session;
  QVERIFY(session.Open());
  QVERIFY(put ? !session.PutFile(remoteFolder, localFolder, name)
              : !session.GetFile(remoteFolder, localFolder, name));
  // Nothing was lost on either side, and the session goes on.
  QCOMPARE(m_sim->entries("PP_APP"), before);
  QCOMPARE(box.read(kLocal + "\\A.ZIP"), QByteArray("local a"));
  QCOMPARE(box.read(kLocal + "\\B.ZIP"), QByteArray("local b"));
  QVERIFY(!box.exists(kLocal + "\\NONE.ZIP"));
  QVERIFY(session.GetFile(kFolder, kLocal, "B.ZIP"));
  QCOMPARE(box.read(kLocal + "\\B.ZIP"), QByteArray("remote b"));
}

void TestFtpSession::exists_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<bool>("expected");
  QTest::newRow("missing folder") << "MISSING" << false;
  QTest::newRow("empty folder") << "\\EMPTY\\" << true;
  QTest::newRow("empty folder, relative") << "EMPTY" << true;
  QTest::newRow("folder with files") << "PP_APP" << true;
  QTest::newRow("folder in another case") << "\\pp_app\\" << true;
  QTest::newRow("file") << "\\PP_APP\\PP_MENU.INI" << true;
  QTest::newRow("file in another case") << "\\pp_app\\pp_menu.ini" << true;
  QTest::newRow("missing file") << "\\PP_APP\\NONE.INI" << false;
  QTest::newRow("missing folder below an empty one") << "\\EMPTY\\NONE\\" << false;
}

void TestFtpSession::exists() {
  QFETCH(QString, path);
  QFETCH(bool, expected);
  m_sim->mkdir("EMPTY");
  m_sim->write("PP_APP/PP_MENU.INI", "[MENU]\r\n");
  FtpSession session;
  QVERIFY(session.Open());
  QCOMPARE(session.Exists(path), expected);
  // Still in the login folder: a relative name lands at the top.
  QVERIFY(session.CreateFolder("MARK"));
  QVERIFY(m_sim->entries("").contains("MARK/"));
}

void TestFtpSession::removeFileIgnoresCase() {
  m_sim->write("PP_APP/Tool.zip", "zip");
  m_sim->write("PP_APP/Other.zip", "zip");
  FtpSession session;
  QVERIFY(session.Open());
  QVERIFY(session.RemoveFile(kFolder, "tool.Zip"));
  QVERIFY(m_sim->commands().contains("DELE \\PP_APP\\TOOL.ZIP"));
  QCOMPARE(m_sim->entries("PP_APP"), QStringList{"Other.zip"});
  QVERIFY(!session.RemoveFile(kFolder, "tool.zip"));
}

void TestFtpSession::createFolder() {
  FtpSession session;
  QVERIFY(session.Open());
  QVERIFY(session.CreateFolder(kFolder));
  QVERIFY(m_sim->commands().contains("MKD \\PP_APP\\"));
  QCOMPARE(m_sim->entries(""), QStringList{"PP_APP/"});
  QVERIFY(!session.CreateFolder("\\pp_app\\"));  // exists, whatever the case
  QVERIFY(!session.CreateFolder("\\NONE\\SUB\\"));
}

void TestFtpSession::clearAndRemoveFolder() {
  m_sim->write("PP_APP/A.ZIP", "a");
  m_sim->write("PP_APP/My App.zip", "b");
  m_sim->write("PP_APP/pp_menu.ini", "c");
  m_sim->write("PP_APP/SUB/X.ZIP", "x");
  m_sim->mkdir("EMPTY");
  m_sim->write("PLAIN/ONLY.ZIP", "y");
  FtpSession session;
  QVERIFY(session.Open());

  QVERIFY(session.ClearFolder(kFolder));
  QCOMPARE(m_sim->entries("PP_APP"), QStringList{"SUB/"});
  QCOMPARE(m_sim->entries("PP_APP/SUB"), QStringList{"X.ZIP"});
  QVERIFY(!session.RemoveFolder(kFolder));  // the subfolder keeps it
  QVERIFY(m_sim->exists("PP_APP/SUB/X.ZIP"));

  QVERIFY(session.ClearFolder("\\EMPTY\\"));
  QVERIFY(session.ClearFolder("\\MISSING\\"));
  QVERIFY(session.RemoveFolder("\\PLAIN\\"));
  QVERIFY(session.RemoveFolder("\\EMPTY\\"));
  QCOMPARE(m_sim->entries(""), QStringList{"PP_APP/"});
  QVERIFY(!session.RemoveFolder("\\MISSING\\"));
}

void TestFtpSession::clearFolderStopsAtRefusedDelete() {
  QVERIFY(useServer({"--refuse-dele", "B*.ZIP"}));
  for (const char *name : {"A.ZIP", "B.ZIP", "C.ZIP"}) m_sim->write(QStringLiteral("PP_APP/") + name, "z");
  FtpSession session;
  QVERIFY(session.Open());
  QVERIFY(!session.ClearFolder(kFolder));
  QCOMPARE(m_sim->entries("PP_APP"), QStringList({"B.ZIP", "C.ZIP"}));
  QVERIFY(!m_sim->commands().contains("DELE \\PP_APP\\C.ZIP"));

  // RemoveFolder stops at the same file and still asks for the removal.
  QVERIFY(!session.RemoveFolder(kFolder));
  QCOMPARE(m_sim->count("RMD"), 1);
  QCOMPARE(m_sim->entries("PP_APP"), QStringList({"B.ZIP", "C.ZIP"}));
}

void TestFtpSession::brokenTransfers_data() {
  QTest::addColumn<QStringList>("switches");
  QTest::addColumn<bool>("put");
  QTest::addColumn<int>("size");
  QTest::newRow("get dropped") << QStringList{"--drop-retr", "65536"} << false << (1 << 20);
  QTest::newRow("put dropped") << QStringList{"--drop-stor", "65536"} << true << (1 << 20);
  QTest::newRow("get stalled") << QStringList{"--stall-retr", "65536"} << false << (1 << 20);
  QTest::newRow("put stalled") << QStringList{"--stall-stor", "65536"} << true << (4 << 20);
  // All data sent, but the server never confirms it.
  QTest::newRow("put of a small file, no final reply") << QStringList{"--stall-stor", "0"} << true << 1000;
  QTest::newRow("get, no reply to RETR") << QStringList{"--hang-on", "RETR"} << false << 1000;
  QTest::newRow("get, connection closed at RETR") << QStringList{"--hangup-on", "RETR"} << false << 1000;
}

void TestFtpSession::brokenTransfers() {
  QFETCH(QStringList, switches);
  QFETCH(bool, put);
  QFETCH(int, size);
  QVERIFY(useServer(switches));
  Sandbox box;
  const QByteArray payload = Pattern(size);
  box.write(kLocal + "\\UP.ZIP", payload);
  box.write(kLocal + "\\DOWN.ZIP", "the local copy");
  m_sim->write("PP_APP/DOWN.ZIP", payload);

  FtpSession session;
  QVERIFY(session.Open());
  QVERIFY(put ? !session.PutFile(kFolder, kLocal, "UP.ZIP") : !session.GetFile(kFolder, kLocal, "DOWN.ZIP"));
  QCOMPARE(box.read(kLocal + "\\DOWN.ZIP"), QByteArray("the local copy"));
  QCOMPARE(m_sim->read("PP_APP/DOWN.ZIP"), payload);
  // Whatever became of the connection, the next command returns too, and
  // no second login was tried behind the caller's back.
  session.Exists(kFolder);
  QCOMPARE(m_sim->count("PASS"), 1);
}

void TestFtpSession::commandFaults_data() {
  QTest::addColumn<QStringList>("switches");
  QTest::addColumn<bool>("connectionLost");
  QTest::newRow("every command refused")
      << QStringList{"--refuse-dele", "--refuse-rmd", "--refuse-mkd", "--refuse-stor", "--refuse-retr", "--refuse-list"}
      << false;
  // The first command goes wrong, and with it the connection.
  QTest::newRow("garbage answer to DELE") << QStringList{"--garbage-on", "DELE"} << true;
  QTest::newRow("connection closed at DELE") << QStringList{"--hangup-on", "DELE"} << true;
  QTest::newRow("no answer to DELE") << QStringList{"--hang-on", "DELE"} << true;
}

void TestFtpSession::commandFaults() {
  QFETCH(QStringList, switches);
  QFETCH(bool, connectionLost);
  QVERIFY(useServer(switches));
  Sandbox box;
  box.write(kLocal + "\\UP.ZIP", "up");
  m_sim->write("PP_APP/A.ZIP", "a");
  m_sim->write("PP_APP/B.ZIP", "b");
  const int descriptors = OpenDescriptors();
  {
    FtpSession session;
    QVERIFY(session.Open());
    QVERIFY(!session.RemoveFile(kFolder, "A.ZIP"));
    QVERIFY(!session.CreateFolder("\\NEW\\"));
    QVERIFY(!session.RemoveFolder(kFolder));
    QVERIFY(!session.PutFile(kFolder, kLocal, "UP.ZIP"));
    QVERIFY(!session.GetFile(kFolder, kLocal, "B.ZIP"));
    // Once the connection is gone nothing more reaches the server; a
    // refused listing reads as a missing folder.
    QCOMPARE(session.ClearFolder(kFolder), !connectionLost);
  }
  QCOMPARE(OpenDescriptors(), descriptors);
  QCOMPARE(m_sim->entries("PP_APP"), QStringList({"A.ZIP", "B.ZIP"}));
  QCOMPARE(m_sim->count("PASS"), 1);
  QVERIFY(!box.exists(kLocal + "\\B.ZIP"));
}

void TestFtpSession::awkwardNames() {
  m_sim->write("SPACES/With Space.ZIP", "1");
  m_sim->write(QStringLiteral("SPACES/\u30a2\u30d7\u30ea.zip"), "2");  // a Japanese name
  m_sim->mkdir("SLASH");
  QFile slash(m_sim->hostPath("SLASH") + "/back\\slash.ZIP");  // one name on the host
  QVERIFY(slash.open(QIODevice::WriteOnly));
  slash.close();
  m_sim->mkdir("RAW");
  // A name that is no valid text in any code page the server knows.
  const QByteArray raw = QFile::encodeName(m_sim->hostPath("RAW")) + "/\xff\xfe.ZIP";
  const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
  QVERIFY(fd >= 0);
  ::close(fd);

  FtpSession session;
  QVERIFY(session.Open());
  QVERIFY(session.Exists("\\SPACES\\With Space.ZIP"));
  QVERIFY(session.ClearFolder("\\SPACES\\"));
  QCOMPARE(m_sim->entries("SPACES"), QStringList());
  // Names the server lists but cannot take back: a failed clear, nothing lost.
  QVERIFY(!session.ClearFolder("\\SLASH\\"));
  QCOMPARE(m_sim->entries("SLASH"), QStringList{"back\\slash.ZIP"});
  QVERIFY(!session.ClearFolder("\\RAW\\"));
  QCOMPARE(m_sim->count("DELE"), 3);  // the undecodable name is not sent as "??.ZIP"
  QVERIFY(session.Exists("\\RAW\\"));
  QCOMPARE(::unlink(raw.constData()), 0);  // still there; Qt could not remove it
}

void TestFtpSession::oneControlConnectionPerOpen() {
  Sandbox box;
  box.write(kLocal + "\\A.ZIP", "a");
  m_sim->mkdir("EMPTY");
  FtpSession session;
  QVERIFY(session.Open());
  QVERIFY(session.CreateFolder(kFolder));
  QVERIFY(session.Exists("EMPTY"));
  QVERIFY(!session.Exists("NONE"));
  QVERIFY(session.PutFile(kFolder, kLocal, "A.ZIP"));
  QVERIFY(!session.GetFile(kFolder, kLocal, "NONE.ZIP"));
  QVERIFY(session.GetFile(kFolder, kLocal, "A.ZIP"));
  QVERIFY(!session.RemoveFile(kFolder, "NONE.ZIP"));
  QVERIFY(session.ClearFolder(kFolder));
  QVERIFY(session.RemoveFolder(kFolder));
  QVERIFY(!session.RemoveFolder(kFolder));
  session.Close();
  QCOMPARE(m_sim->count("USER"), 1);
  QCOMPARE(m_sim->count("PASS"), 1);
  QCOMPARE(m_sim->log().count(QStringLiteral("] connect ")), 1);

  QVERIFY(session.Open());
  QVERIFY(session.Exists("EMPTY"));
  session.Close();
  QCOMPARE(m_sim->count("USER"), 2);
  QCOMPARE(m_sim->log().count(QStringLiteral("] connect ")), 2);
}

QTEST_GUILESS_MAIN(TestFtpSession)
#include "TestFtpSession.moc"
