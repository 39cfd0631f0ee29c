// The FTP session against the controller simulator on loopback: what each
// operation sends and leaves behind, the failures only the client can handle
// (no partial files, stalls ended, nothing leaked, no name sent that would
// name another file) and the one control connection per Open. What the
// engine makes of these faults is TestFaults' business.
#include "ControllerSim.h"
#include "Sandbox.h"
#include "app/InstallerApp.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpListing.h"
#include "ftp/FtpSession.h"
#include "transfer/ControllerFolder.h"

#include <QDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

const QString kFolder = QStringLiteral("\\PP_APP\\");
const QString kLocal = QStringLiteral("\\DiskOnChip\\PP_APP");

static int OpenDescriptors() { return int(QDir(QStringLiteral("/proc/self/fd")).count()); }

class TestFtpSession : public QObject {
  Q_OBJECT

  ControllerSim m_sim;

 private slots:
  void initTestCase() {
    QVERIFY2(m_sim.isRunning(), qPrintable(m_sim.log()));
    // The installer's endpoint, with timeouts that keep a stall cheap and
    // still leave a loaded machine time to answer.
    qputenv("PP_FTP_CONNECT_TIMEOUT_MS", "3000");
    qputenv("PP_FTP_STALL_TIMEOUT_MS", "2000");
  }
  void init() { QVERIFY2(m_sim.reset(), qPrintable(m_sim.log())); }

  void listingLines() {
    // The simulator's own lines are read by the other tests; these are other
    // servers': unix lines without a group column, names with blanks, a link,
    // DOS lines, and lines that name nothing.
    const QByteArray listing =
        "total 12\r\n\r\ngarbage line\r\n-rw-r--r-- 1 a b x Dec 06 02:24 BAD\r\n"
        "-rw-r--r-- 1 ftp 42 Mar 10 09:05  two  blanks 1 Jan 01 12:00 .ZIP\n"
        "lrwxrwxrwx 1 a b 6 Dec 06 02:24 LINK.ZIP -> A.ZIP\r\n"
        "01-31-24  09:15AM       <DIR>          PP_APP\r\n"
        "01-31-2024  21:15             2048 My App.ZIP\r\n";
    QStringList found;
    for (const FtpListEntry &entry : ParseFtpListing(listing))
      found.append(entry.name + (entry.directory ? "/" : " " + QString::number(entry.size)) + (entry.exact ? "" : " (inexact)"));
    QCOMPARE(found, QStringList({" two  blanks 1 Jan 01 12:00 .ZIP 42", "LINK.ZIP 6", "PP_APP/", "My App.ZIP 2048"}));
  }

  void strictController() {
    // Every test runs the simulator strict: what the controller does not know is refused and counted.
    const FtpEndpoint endpoint = ControllerEndpoint(m_sim.address());
    FtpConnection connection;
    QVERIFY(connection.Login(endpoint.address, endpoint.user.toUtf8(), endpoint.password.toUtf8(), endpoint.timeouts));
    QCOMPARE(connection.Command("CWD PP_APP"), 502);
    QCOMPARE(m_sim.takeRefusedCommands(), QStringList("CWD PP_APP"));
  }

  void openFailures_data() {
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QString>("address");  // empty: the simulator's
    QTest::newRow("refused login") << QStringList{"--refuse-login"} << QString();
    QTest::newRow("garbled answer to the user") << QStringList{"--garbage-on", "USER"} << QString();
    QTest::newRow("no answer to the password") << QStringList{"--hang-on", "PASS"} << QString();
    QTest::newRow("no server at the port") << QStringList() << QStringLiteral("127.0.0.1:1");
    // Whatever else the address holds never reaches the URL as a user or a path.
    QTest::newRow("not a host") << QStringList() << "x@" + m_sim.address();
  }

  void openFailures() {
    QFETCH(QStringList, switches);
    QFETCH(QString, address);
    QVERIFY(m_sim.setFaults(switches));
    const int descriptors = OpenDescriptors();
    FtpSession session(ControllerEndpoint(address.isEmpty() ? m_sim.address() : address));
    QVERIFY(!session.Open());
    QCOMPARE(OpenDescriptors(), descriptors);  // nothing of the attempt stays open
    // ... and the next Open starts afresh.
    QVERIFY(m_sim.setFaults({}));
    if (address.isEmpty()) QVERIFY(session.Open());
  }

  void oneControlConnectionPerOpen() {
    Sandbox box;
    QByteArray bytes = "\r\n\n\r";  // line ends must pass untouched, and every other byte
    for (int i = 0; i < 300000; ++i) bytes += char(i * 7 + i / 256);
    box.write(kLocal + "\\Tool.zip", bytes);
    box.write("\\DiskOnChip\\Copy\\tool.zip", "stale local copy");
    m_sim.write(QStringLiteral("PP_APP/\u30a2\u30d7\u30ea.zip"), "c");  // listed in the code page
    for (const char *folder : {"EMPTY", "RAW"}) QDir().mkpath(m_sim.hostPath(folder));
    // No text in the server's code page: sent back it would read "??.ZIP",
    // which some servers take for any file.
    const QByteArray raw = QFile::encodeName(m_sim.hostPath("RAW")) + "/\xff\xfe.ZIP";
    QCOMPARE(::close(::open(raw.constData(), O_CREAT | O_WRONLY, 0644)), 0);
    FtpSession session(ControllerEndpoint(m_sim.address()));
    QVERIFY(session.Open());
    // The local name is found ignoring case, and so is the file a get replaces.
    QVERIFY(session.PutFile(kFolder, kLocal, "TOOL.ZIP"));
    QVERIFY(session.GetFile(kFolder, "\\DiskOnChip\\Copy", "TOOL.ZIP"));
    QCOMPARE(m_sim.read("PP_APP/TOOL.ZIP"), bytes);
    QCOMPARE(Snapshot(box.host("\\DiskOnChip\\Copy")), (QMap<QString, QByteArray>{{"tool.zip", bytes}}));
    // An empty folder is there too; a relative name lands at the top.
    QVERIFY(session.Exists("\\EMPTY\\"));
    QVERIFY(session.CreateFolder("MARK"));
    // Never sent: a name that would name something else, or whose line break
    // would end the command early and pass the rest as another one.
    QVERIFY(!session.ClearFolder("\\RAW\\"));
    QCOMPARE(::unlink(raw.constData()), 0);  // still there; Qt could not remove it
    QVERIFY(!session.CreateFolder(QStringLiteral("\\caf\u00e9\\")));  // a character the code page lacks
    QVERIFY(!session.RemoveFile(kFolder, "TOOL.ZIP\r\nRMD \\RAW"));
    // Paths go as given, backslashes included.
    QCOMPARE(m_sim.commands().filter(QRegularExpression("^(MKD|STOR|RETR|DELE|RMD) ")),
             QStringList({"STOR \\PP_APP\\TOOL.ZIP", "RETR \\PP_APP\\TOOL.ZIP", "MKD MARK"}));
    // Names read from a listing go back as the server wrote them.
    QVERIFY(session.RemoveFolder(kFolder));
    QCOMPARE(m_sim.entries(""), QStringList({"EMPTY/", "MARK/", "RAW/"}));
    session.Close();
    QVERIFY(!session.Exists("\\MARK\\"));  // closed: fails at once, no connection opened
    QCOMPARE(m_sim.log().count(QStringLiteral("] connect ")), 1);
  }

  void sendVerifiedByListing_data() {
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<int>("state");  // of the file as listed afterwards
    QTest::addColumn<qint64>("size");
    QTest::newRow("kept whole") << QStringList() << int(RemoteFile::Present) << qint64(5000);
    // Confirmed, yet kept short: a server that took a broken data connection for the end.
    QTest::newRow("confirmed, kept short") << QStringList{"--short-stor", "100"} << int(RemoteFile::Present) << qint64(100);
    QTest::newRow("folder not listed") << QStringList{"--refuse-list"} << int(RemoteFile::Absent) << qint64(-1);
    QTest::newRow("hangs up at the listing") << QStringList{"--hangup-on", "LIST"} << int(RemoteFile::Unanswered) << qint64(-1);
  }

  void sendVerifiedByListing() {
    QFETCH(QStringList, switches);
    QFETCH(int, state);
    QFETCH(qint64, size);
    QVERIFY(m_sim.setFaults(switches));
    Sandbox box;
    box.write(kLocal + "\\A.ZIP", QByteArray(5000, 'a'));
    m_sim.write("PP_APP/A.ZIP", "an older file");
    ControllerConnection controller(ControllerEndpoint(m_sim.address()), kFolder);
    const Outcome sent = controller.Send(kLocal, "A.ZIP");
    const RemoteFile listed = controller.Stat("a.zip");  // found whatever the case
    QCOMPARE(qMakePair(int(listed.state), listed.size), qMakePair(state, size));
    QCOMPARE(controller.IsOpen(), state != RemoteFile::Unanswered);  // no answer shows as a closed session
    // Anything but the whole file fails as a refused transfer does.
    QCOMPARE(sent.ok ? "sent" : QString("%1 %2 %3").arg(sent.statusId).arg(sent.alertId).arg(sent.detail),
             size == 5000 ? "sent" : "3011 2011 error file :(A.ZIP)");
  }

  void failedOperation_data() {
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("size");  // of the file to move
    // The session goes on after a refusal; a connection out of step with the
    // server (a reply may still be on its way) is closed.
    QTest::addColumn<QString>("session");
    QTest::newRow("get dropped") << QStringList{"--drop-retr", "65536"} << "get" << (1 << 20) << "either";
    QTest::newRow("get stalled") << QStringList{"--stall-retr", "65536"} << "get" << (1 << 20) << "closed";
    // A put outruns the socket buffers before it stalls.
    QTest::newRow("put stalled") << QStringList{"--stall-stor", "65536"} << "put" << (4 << 20) << "closed";
    // All data sent, but the server never confirms it.
    QTest::newRow("put, no final reply") << QStringList{"--stall-stor", "0"} << "put" << 1000 << "closed";
    QTest::newRow("DELE refused") << QStringList{"--refuse-dele"} << "DELE" << 10 << "goes on";
    QTest::newRow("garbage answer to DELE") << QStringList{"--garbage-on", "DELE"} << "DELE" << 10 << "closed";
  }

  void failedOperation() {
    QFETCH(QStringList, switches);
    QFETCH(QString, operation);
    QFETCH(int, size);
    QFETCH(QString, session);
    QVERIFY(m_sim.setFaults(switches));
    Sandbox box;
    box.write(kLocal + "\\A.ZIP", QByteArray(size, 'l'));
    m_sim.write("PP_APP/A.ZIP", QByteArray(size, 'r'));
    const auto before = Snapshot(box.root());
    const int descriptors = OpenDescriptors();
    {
      FtpSession ftp(ControllerEndpoint(m_sim.address()));
      QVERIFY(ftp.Open());
      const bool done = operation == u"get"    ? ftp.GetFile(kFolder, kLocal, "A.ZIP")
                        : operation == u"put"  ? ftp.PutFile(kFolder, kLocal, "A.ZIP")
                                               : ftp.RemoveFile(kFolder, "A.ZIP");
      QVERIFY(!done);
      QCOMPARE(Snapshot(box.root()), before);  // the old file, and no leftover beside it
      // Whatever became of the connection, the next command returns too.
      const bool found = ftp.Exists(kFolder);
      if (session != u"either") QCOMPARE(found, session == u"goes on");
    }
    QCOMPARE(OpenDescriptors(), descriptors);
    QCOMPARE(m_sim.commands().filter(QRegularExpression("^PASS ")).size(), 1);  // no second login behind the caller's back
  }
};

QTEST_GUILESS_MAIN(TestFtpSession)
#include "TestFtpSession.moc"
