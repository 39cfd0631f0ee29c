// The FTP session against the controller simulator on loopback: what each
// operation sends and leaves behind, the failures only the client can handle
// (no partial files, stalls ended, connections not leaked or reopened) and
// the one control connection per Open. What the engine makes of these faults
// is TestFaults' business.
#include "ControllerSim.h"
#include "Sandbox.h"
#include "app/InstallerApp.h"
#include "app/StringTable.h"
#include "ftp/FtpListing.h"
#include "ftp/FtpSession.h"

#include <QDir>
#include <QtTest>

#include <fcntl.h>
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

}  // namespace

class TestFtpSession : public QObject {
  Q_OBJECT

 private:
  // The simulator with these fault switches, and the address setting pointed at it.
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

  void serverAddressDefault() {
    FtpServerAddress().clear();
    { FtpSession session; }
    QCOMPARE(FtpServerAddress(), LoadString(4005));
  }

  void listingLines_data() {
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<QStringList>("names");  // folders end with "/"
    // The simulator's own lines are read by every listing below; these are other servers'.
    QTest::newRow("unix name with blanks, no group column")
        << QByteArray("-rw-r--r-- 1 ftp 42 Mar 10 09:05  two  blanks 1 Jan 01 12:00 .ZIP\n")
        << QStringList{" two  blanks 1 Jan 01 12:00 .ZIP"};
    QTest::newRow("unix link") << QByteArray("lrwxrwxrwx 1 a b 6 Dec 06 02:24 LINK.ZIP -> A.ZIP\r\n")
                               << QStringList{"LINK.ZIP"};
    // Lines that name nothing (a total, a blank, garbage, a size that is no number) are passed over.
    QTest::newRow("dos lines, and lines that name nothing")
        << QByteArray("total 12\r\n\r\ngarbage line\r\n-rw-r--r-- 1 a b x Dec 06 02:24 BAD\r\n"
                      "01-31-24  09:15AM       <DIR>          PP_APP\r\n"
                      "01-31-2024  21:15             2048 My App.ZIP\r\n")
        << QStringList{"PP_APP/", "My App.ZIP"};
  }

  void listingLines() {
    QFETCH(QByteArray, listing);
    QFETCH(QStringList, names);
    QStringList found;
    for (const FtpListEntry &entry : ParseFtpListing(listing)) {
      found.append(entry.name + (entry.directory ? QStringLiteral("/") : QString()));
      QVERIFY(entry.exact);
    }
    QCOMPARE(found, names);
  }

  void openFailures_data() {
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QString>("address");  // empty: the simulator's
    QTest::newRow("refused login") << QStringList{"--refuse-login"} << QString();
    QTest::newRow("no answer to the password") << QStringList{"--hang-on", "PASS"} << QString();
    QTest::newRow("no server at the port") << QStringList() << QStringLiteral("127.0.0.1:1");
    // Whatever else the setting holds never reaches the URL as a user or a path.
    QTest::newRow("not a host") << QStringList() << "x@" + m_sim->address();
  }

  void openFailures() {
    QFETCH(QStringList, switches);
    QFETCH(QString, address);
    QVERIFY(useServer(switches));
    if (!address.isEmpty()) FtpServerAddress() = address;
    const int descriptors = OpenDescriptors();
    FtpSession session;
    QVERIFY(!session.Open());
    QVERIFY(!session.IsOpen());
    QVERIFY(!session.Exists(QStringLiteral("\\")));
    QCOMPARE(OpenDescriptors(), descriptors);  // nothing of the attempt stays open
    // ... and the next Open starts afresh.
    QVERIFY(useServer());
    QVERIFY(session.Open());
    QVERIFY(session.Exists(QStringLiteral("\\")));
  }

  void putAndGet() {
    Sandbox box;
    const QByteArray bytes = Pattern(300000) + "\r\n\n\r";  // line ends must pass untouched
    box.write(kLocal + "\\Tool.zip", bytes);
    box.write(kLocal + "\\EMPTY.INI", QByteArray());
    m_sim->write("PP_APP/Tool.ZIP", "an older archive");
    FtpSession session;
    QVERIFY(session.Open());
    // Refused on the pendant's side: nothing sent, nothing written, and the session goes on.
    QVERIFY(!session.PutFile(kFolder, kLocal, "NONE.ZIP"));
    QVERIFY(!session.GetFile(kFolder, "\\DiskOnChip\\NONE", "TOOL.ZIP"));
    QVERIFY(!session.GetFile(kFolder, "\\DiskOnChip\\..\\..", "TOOL.ZIP"));
    QVERIFY(!box.exists("\\DiskOnChip\\NONE"));

    // The local name is found ignoring case; the remote one replaces the file
    // that the controller holds under another case.
    QVERIFY(session.PutFile(kFolder, kLocal, "TOOL.ZIP"));
    QVERIFY(session.PutFile(kFolder, kLocal, "EMPTY.INI"));
    QCOMPARE(m_sim->entries("PP_APP"), QStringList({"EMPTY.INI", "Tool.ZIP"}));
    QCOMPARE(m_sim->read("PP_APP/Tool.ZIP"), bytes);

    // A get replaces the local file.
    box.write("\\DiskOnChip\\Copy\\tool.zip", "stale local copy, longer than nothing at all");
    QVERIFY(session.GetFile(kFolder, "\\DiskOnChip\\Copy", "TOOL.ZIP"));
    QCOMPARE(box.read("\\DiskOnChip\\Copy\\tool.zip"), bytes);
    QVERIFY(session.GetFile(kFolder, "\\DiskOnChip\\Copy", "EMPTY.INI"));
    QVERIFY(box.exists("\\DiskOnChip\\Copy\\EMPTY.INI"));
    QCOMPARE(box.read("\\DiskOnChip\\Copy\\EMPTY.INI"), QByteArray());
  }

  void oneControlConnectionPerOpen() {
    Sandbox box;
    box.write(kLocal + "\\A.ZIP", "a");
    m_sim->mkdir("EMPTY");
    FtpSession session;
    QVERIFY(session.Open());
    QVERIFY(session.CreateFolder(kFolder));
    QVERIFY(session.PutFile(kFolder, kLocal, "A.ZIP"));
    QVERIFY(session.Exists("\\EMPTY\\"));
    QVERIFY(session.Exists("\\PP_APP\\A.ZIP"));
    QVERIFY(!session.Exists("NONE"));
    QVERIFY(!session.GetFile(kFolder, kLocal, "NONE.ZIP"));
    QVERIFY(session.GetFile(kFolder, kLocal, "A.ZIP"));
    QVERIFY(session.RemoveFile(kFolder, "a.Zip"));
    QVERIFY(!session.RemoveFile(kFolder, "a.zip"));
    // Back in the login folder after looking into EMPTY: a relative name lands at the top.
    QVERIFY(session.CreateFolder("MARK"));
    QCOMPARE(m_sim->entries(""), QStringList({"EMPTY/", "MARK/", "PP_APP/"}));
    QVERIFY(session.RemoveFolder(kFolder));
    QVERIFY(!session.RemoveFolder(kFolder));
    // Paths go as given, backslashes included; deleted names in upper case.
    QCOMPARE(m_sim->commands().filter(QRegularExpression("^(MKD|STOR|DELE|RMD) ")),
             QStringList({"MKD \\PP_APP\\", "STOR \\PP_APP\\A.ZIP", "DELE \\PP_APP\\A.ZIP", "DELE \\PP_APP\\A.ZIP",
                          "MKD MARK", "RMD \\PP_APP\\", "RMD \\PP_APP\\"}));
    session.Close();

    // Closed, every operation fails at once and nothing opens a connection.
    QVERIFY(!session.PutFile(kFolder, kLocal, "A.ZIP"));
    QVERIFY(!session.GetFile("\\", kLocal, "MARK"));
    QVERIFY(!session.CreateFolder("\\NEW\\"));
    QVERIFY(!session.Exists("\\EMPTY\\"));
    QVERIFY(!session.RemoveFile("\\", "MARK"));
    QVERIFY(!session.ClearFolder("\\EMPTY\\"));
    QVERIFY(!session.RemoveFolder("\\EMPTY\\"));
    QCOMPARE(m_sim->count("USER"), 1);
    QCOMPARE(m_sim->log().count(QStringLiteral("] connect ")), 1);
    QCOMPARE(m_sim->entries(""), QStringList({"EMPTY/", "MARK/"}));

    QVERIFY(session.Open());
    QVERIFY(session.Exists("EMPTY"));
    session.Close();
    QCOMPARE(m_sim->count("USER"), 2);
    QCOMPARE(m_sim->log().count(QStringLiteral("] connect ")), 2);
  }

  void clearAndRemoveFolder() {
    m_sim->write("PP_APP/A.ZIP", "a");
    m_sim->write("PP_APP/My App.zip", "b");
    m_sim->write(QStringLiteral("PP_APP/\u30a2\u30d7\u30ea.zip"), "c");  // listed in the code page
    m_sim->write("PP_APP/SUB/X.ZIP", "x");
    m_sim->mkdir("EMPTY");
    m_sim->write("PLAIN/ONLY.ZIP", "y");
    // A name that is no valid text in the server's code page: sent back it
    // would read "??.ZIP", which some servers take for any file.
    m_sim->mkdir("RAW");
    const QByteArray raw = QFile::encodeName(m_sim->hostPath("RAW")) + "/\xff\xfe.ZIP";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
    QVERIFY(fd >= 0);
    ::close(fd);
    FtpSession session;
    QVERIFY(session.Open());
    QVERIFY(session.Exists("\\PP_APP\\My App.zip"));

    QVERIFY(session.ClearFolder(kFolder));
    QCOMPARE(m_sim->entries("PP_APP"), QStringList{"SUB/"});
    QVERIFY(!session.RemoveFolder(kFolder));  // the subfolder keeps it
    QCOMPARE(m_sim->entries("PP_APP/SUB"), QStringList{"X.ZIP"});

    QVERIFY(session.ClearFolder("\\EMPTY\\"));
    QVERIFY(session.ClearFolder("\\MISSING\\"));
    QVERIFY(session.RemoveFolder("\\PLAIN\\"));
    QVERIFY(session.RemoveFolder("\\EMPTY\\"));
    QVERIFY(!session.RemoveFolder("\\MISSING\\"));
    QVERIFY(!session.ClearFolder("\\RAW\\"));
    QCOMPARE(m_sim->commands().filter("DELE \\RAW"), QStringList());
    QCOMPARE(m_sim->entries(""), QStringList({"PP_APP/", "RAW/"}));
    QCOMPARE(::unlink(raw.constData()), 0);  // still there; Qt could not remove it
  }

  void clearFolderStopsAtRefusedDelete() {
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

  void brokenTransfers_data() {
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<bool>("put");
    QTest::addColumn<int>("size");
    QTest::newRow("get dropped") << QStringList{"--drop-retr", "65536"} << false << (1 << 20);
    QTest::newRow("get stalled") << QStringList{"--stall-retr", "65536"} << false << (1 << 20);
    QTest::newRow("put stalled") << QStringList{"--stall-stor", "65536"} << true << (4 << 20);
    // All data sent, but the server never confirms it.
    QTest::newRow("put of a small file, no final reply") << QStringList{"--stall-stor", "0"} << true << 1000;
  }

  void brokenTransfers() {
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
    QCOMPARE(box.tree(kLocal), QStringList({"DOWN.ZIP", "UP.ZIP"}));  // no leftover beside it either
    // Whatever became of the connection, the next command returns too, and
    // no second login was tried behind the caller's back.
    session.Exists(kFolder);
    QCOMPARE(m_sim->count("PASS"), 1);
  }

  void commandFaults_data() {
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<bool>("connectionLost");
    QTest::newRow("every command refused")
        << QStringList{"--refuse-dele", "--refuse-rmd", "--refuse-mkd",
                       "--refuse-stor", "--refuse-retr", "--refuse-list"} << false;
    // The first command goes wrong, and with it the connection.
    QTest::newRow("garbage answer to DELE") << QStringList{"--garbage-on", "DELE"} << true;
  }

  void commandFaults() {
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
};

QTEST_GUILESS_MAIN(TestFtpSession)
#include "TestFtpSession.moc"
