// Bringing the pendant's applications in line with the controller at start:
// equal menu files touch nothing, different ones rebuild the pendant from
// the controller's archives, and each failure leaves what the operator was
// told it leaves, on both sides.
#include "TransferRig.h"

#include <QDateTime>
#include <QDirIterator>

namespace {

QList<PackageSpec> Apps() {
  PackageSpec alpha;
  alpha.name = QStringLiteral("Alpha");
  alpha.folder = QStringLiteral("AlphaDir");
  alpha.files = {{QStringLiteral("res/a.txt"), "alpha data"}};
  PackageSpec beta;
  beta.name = QStringLiteral("Beta");
  return {alpha, beta};
}

const QStringList kRebuilt{"AlphaDir/Alpha.exe", "AlphaDir/res/a.txt", "Beta/Beta.exe", "PP_MENU.INI"};
const QString kTemp = QStringLiteral("\\Storage Card\\PP_APP\\TEMP");

// Every file and folder below a host folder with its modification time.
QStringList Stamps(const QString &hostDir) {
  QStringList stamps;
  QDirIterator it(hostDir, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    stamps.append(path + u' ' + QString::number(QFileInfo(path).lastModified().toMSecsSinceEpoch()));
  }
  stamps.sort();
  return stamps;
}

}  // namespace

class TestSynchronisation : public QObject {
  Q_OBJECT
  SharedController m_controller;

 private slots:
  void initTestCase() { QVERIFY2(m_controller.sim.isRunning(), qPrintable(m_controller.sim.log())); }
  void init() { QVERIFY(m_controller.reset()); }

  void equalMenusTouchNothing() {
    Rig rig;
    MediumBuilder::WriteController(m_controller.sim.root(), Apps());
    rig.box.write(kPendant + "\\PP_MENU.INI", MediumBuilder::MenuFile(Apps()));
    rig.box.write(kPendant + "\\AlphaDir\\Alpha.exe", "installed earlier");
    const QStringList before = Stamps(rig.box.host(kPendant));

    QCOMPARE(rig.engine.SyncMenuWithController(), 1);
    QCOMPARE(Stamps(rig.box.host(kPendant)), before);
    QVERIFY(rig.view.log.contains("status 2: PP_MENU.INI file compare OK."));
    QVERIFY(rig.alerts().isEmpty());
    QCOMPARE(m_controller.sim.count("RETR"), 1);  // the menu file alone
    QVERIFY(!rig.box.exists(kTemp));
  }

  void rebuild_data() {
    QTest::addColumn<QByteArray>("pendantMenu");
    QTest::addColumn<QString>("status");
    QByteArray differs = MediumBuilder::MenuFile(Apps());
    differs.replace("FILE_SIZE = 10", "FILE_SIZE = 11");
    QTest::newRow("menu differs") << differs << "PP_MENU.INI file compare error.";
    QTest::newRow("no pendant menu") << QByteArray()
                                     << "(\\DiskOnChip\\PP_APP\\PP_MENU.INI) file is not registered.";
  }
  void rebuild() {
    QFETCH(QByteArray, pendantMenu);
    QFETCH(QString, status);
    Rig rig;
    MediumBuilder::WriteController(m_controller.sim.root(), Apps());
    if (!pendantMenu.isNull()) rig.box.write(kPendant + "\\PP_MENU.INI", pendantMenu);
    rig.box.write(kPendant + "\\Retired\\Retired.exe", "no longer registered");
    rig.box.write(kTemp + "\\left-over.ZIP", "from an interrupted run");

    QCOMPARE(rig.engine.SyncMenuWithController(), 1);
    QVERIFY(rig.view.log.contains("status 2: " + status));
    QVERIFY(rig.alerts().isEmpty());
    QCOMPARE(rig.box.tree(kPendant), kRebuilt);
    QCOMPARE(rig.box.read(kPendant + "\\PP_MENU.INI"), m_controller.sim.read("\\PP_APP\\PP_MENU.INI"));
    QCOMPARE(rig.box.read(kPendant + "\\AlphaDir\\res\\a.txt"), QByteArray("alpha data"));
    QVERIFY(!rig.box.exists(kTemp));
  }

  void failures_data() {
    QTest::addColumn<QString>("controller");  // what is wrong there
    QTest::addColumn<int>("result");
    QTest::addColumn<QList<int>>("alerts");
    QTest::addColumn<QString>("detail");  // of the first alert
    QTest::addColumn<QStringList>("pendant");
    QTest::addColumn<bool>("controllerFolder");  // still there afterwards
    const QStringList kept{"AlphaDir/Alpha.exe", "PP_MENU.INI"};
    QTest::newRow("no menu file") << "nomenu" << 0 << QList<int>{2010} << "Failed to upload file. :(PP_MENU.INI)"
                                  << QStringList() << false;
    QTest::newRow("no PP_APP folder") << "nofolder" << 1 << QList<int>() << "" << QStringList() << false;
    QTest::newRow("no connection") << "dead" << 0 << QList<int>() << "" << kept << true;
    QTest::newRow("medium not writable") << "nomedium" << 0 << QList<int>{2026} << "" << kept << true;
    QTest::newRow("space equal to need") << "space" << 0 << QList<int>{2003, 2001}
                                         << " Memory space size:20 < application size:20" << QStringList{"PP_MENU.INI"}
                                         << true;
    QTest::newRow("archive missing") << "noarchive" << 0 << QList<int>{2011, 2001} << "error file :(Beta.ZIP)"
                                     << QStringList{"AlphaDir/Alpha.exe", "AlphaDir/res/a.txt", "PP_MENU.INI"} << true;
    QTest::newRow("archive corrupt") << "corrupt" << 0 << QList<int>{2005, 2005, 2001}
                                     << "error file :(\\Storage Card\\PP_APP\\TEMP\\Alpha.ZIP)" << QStringList() << true;
  }
  void failures() {
    QFETCH(QString, controller);
    QFETCH(QString, detail);
    QFETCH(QStringList, pendant);
    QFETCH(bool, controllerFolder);
    Rig rig;
    ControllerSim &sim = m_controller.sim;
    MediumBuilder::WriteController(sim.root(), Apps());
    // An older installation, so that every run has something to compare with.
    rig.box.write(kPendant + "\\PP_MENU.INI", MediumBuilder::MenuFile({Apps().first()}));
    rig.box.write(kPendant + "\\AlphaDir\\Alpha.exe", "installed earlier");
    if (controller == u"nomenu") QFile::remove(sim.hostPath("\\PP_APP\\PP_MENU.INI"));
    if (controller == u"nofolder") QDir(sim.hostPath("\\PP_APP")).removeRecursively();
    if (controller == u"dead") FtpServerAddress() = kDeadController;
    if (controller == u"nomedium") QDir(rig.box.host(kMedium)).removeRecursively();
    if (controller == u"space") Device::SetFreeBytesOverride(20 * 1024);  // Alpha and Beta need 10 KiB each
    if (controller == u"noarchive") QFile::remove(sim.hostPath("\\PP_APP\\Beta.ZIP"));
    if (controller == u"corrupt") sim.write("\\PP_APP\\Alpha.ZIP", "PK\x03\x04 truncated");

    QTEST(rig.engine.SyncMenuWithController(), "result");
    QTEST(rig.alerts(), "alerts");
    if (!rig.view.alerts.isEmpty()) QCOMPARE(rig.detail(0), detail);
    if (controller == u"dead") QCOMPARE(rig.view.log, QStringList{"status 2: FTP connect error."});
    if (controller == u"space") QVERIFY(rig.view.busy);
    QCOMPARE(rig.box.tree(kPendant), pendant);
    QCOMPARE(rig.box.exists(kPendant), controller == u"dead" || controller == u"nomedium" || !pendant.isEmpty());
    QCOMPARE(sim.exists("\\PP_APP"), controllerFolder);
    QVERIFY(!rig.box.exists(kTemp));
  }
};

QTEST_GUILESS_MAIN(TestSynchronisation)
#include "TestSynchronisation.moc"
