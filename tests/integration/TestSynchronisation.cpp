// Bringing the pendant's applications in line with the controller at start:
// equal menu files touch nothing, different ones rebuild the pendant from
// the controller's archives, and a medium that cannot hold the fetched files
// leaves both sides as they were.
#include "TransferRig.h"

#include <QDateTime>
#include <QDirIterator>

namespace {

QList<PackageSpec> Apps() {
  PackageSpec alpha = PackageSpec::Simple(QStringLiteral("Alpha"));
  alpha.folder = QStringLiteral("AlphaDir");  // read back from APP_PATH
  return {alpha, PackageSpec::Simple(QStringLiteral("Beta"))};
}

const QString kTemp = QStringLiteral("\\Storage Card\\PP_APP\\TEMP");

// Every file and folder below a host folder with its modification time.
QStringList Stamps(const QString &hostDir) {
  QStringList stamps;
  for (QDirIterator it(hostDir, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories); it.hasNext();)
    stamps << it.next() + u' ' + QString::number(it.fileInfo().lastModified().toMSecsSinceEpoch());
  stamps.sort();
  return stamps;
}

}  // namespace

class TestSynchronisation : public QObject {
  Q_OBJECT
  SharedController m_controller;

 private slots:
  void init() { QVERIFY2(m_controller.reset(), qPrintable(m_controller.sim.log())); }

  void sync_data() {
    QTest::addColumn<QByteArray>("pendantMenu");
    QTest::addColumn<bool>("medium");  // writable
    QTest::addColumn<QString>("line");  // one the operator sees
    QTest::addColumn<QStringList>("pendant");
    const QByteArray equal = MediumBuilder::MenuFile(Apps());
    QByteArray differs = equal;
    differs.replace("FILE_SIZE = 10", "FILE_SIZE = 11");
    const QStringList untouched{"AlphaDir/Alpha.exe", "PP_MENU.INI", "Retired/Retired.exe"};
    QTest::newRow("equal menus touch nothing") << equal << true << "status 2: PP_MENU.INI file compare OK."
                                               << untouched;
    QTest::newRow("menus differ: rebuilt")
        << differs << true << "status 2: PP_MENU.INI file compare error."
        << QStringList{"AlphaDir/Alpha.exe", "AlphaDir/res/Alpha.txt", "Beta/Beta.exe", "Beta/res/Beta.txt", "PP_MENU.INI"};
    QTest::newRow("medium not writable") << differs << false << "alert 2026: FATAL ERROR\n CF/USB access error. |  -> 1"
                                         << untouched;
  }
  void sync() {
    QFETCH(QByteArray, pendantMenu);
    QFETCH(bool, medium);
    QFETCH(QStringList, pendant);
    Rig rig;
    ControllerSim &sim = m_controller.sim;
    MediumBuilder::WriteController(sim.root(), Apps());
    rig.box.write(kPendant + "\\PP_MENU.INI", pendantMenu);
    rig.box.write(kPendant + "\\AlphaDir\\Alpha.exe", "installed earlier");
    rig.box.write(kPendant + "\\Retired\\Retired.exe", "no longer registered");
    rig.box.write(kTemp + "\\left-over.ZIP", "from an interrupted run");
    if (!medium) QDir(rig.box.host(kMedium)).removeRecursively();
    // One KiB above the 20 KiB the two archives need.
    Device::SetFreeBytesOverride(21 * 1024);
    const QStringList before = Stamps(rig.box.host(kPendant));

    QCOMPARE(rig.engine.SyncMenuWithController(), medium ? 1 : 0);
    QFETCH(QString, line);
    QVERIFY2(rig.view.log.contains(line), qPrintable(rig.view.log.join(u'\n')));
    QCOMPARE(rig.alerts(), medium ? QList<int>() : QList<int>{2026});
    QCOMPARE(rig.box.tree(kPendant), pendant);
    QVERIFY(!rig.box.exists(kTemp));
    QCOMPARE(sim.entries("\\PP_APP"), QStringList({"Alpha.ZIP", "Beta.ZIP", "PP_MENU.INI"}));
    if (pendant.contains("Retired/Retired.exe")) {
      QCOMPARE(Stamps(rig.box.host(kPendant)), before);
      QCOMPARE(sim.count("RETR"), medium ? 1 : 0);  // the menu file alone
    } else {
      QCOMPARE(rig.box.read(kPendant + "\\PP_MENU.INI"), sim.read("\\PP_APP\\PP_MENU.INI"));
      QCOMPARE(rig.box.read(kPendant + "\\AlphaDir\\res\\Alpha.txt"), QByteArray("resource of Alpha 1.00"));
    }
  }
};

QTEST_GUILESS_MAIN(TestSynchronisation)
#include "TestSynchronisation.moc"
