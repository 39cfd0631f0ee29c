// Power loss after every change an installation makes: a real pp-install
// process ends itself right after its Nth change to a file or to the
// controller's folder (N = 1, 2, ... until a run gets through), and the next
// start, with everything in reach again, must leave both sides in line, each
// application as it was before the run or as the run intended, and nothing
// half done anywhere.
#include "MediumBuilder.h"
#include "Paths.h"
#include "Runs.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

namespace {

PackageSpec Package(const QString &name, const QString &version = QStringLiteral("1.00"), int bulkFiles = 0) {
  PackageSpec pkg = PackageSpec::Simple(name, version);
  // Enough incompressible data that unpacking it takes a while.
  QRandomGenerator random(quint32(qHash(name + version)));
  for (int i = 0; i < bulkFiles; ++i) {
    QByteArray bytes(64 * 1024, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    pkg.files.insert(QStringLiteral("data/%1.bin").arg(i, 3, 10, QChar(u'0')), bytes);
  }
  pkg.sizeKiB = 10 + bulkFiles * 64;
  return pkg;
}

QMap<QString, QByteArray> Files(const QString &hostFolder) { return Snapshot(hostFolder, true); }

enum class Scenario { Install, Update, Rebuild, Remove };

}  // namespace

class TestCrashSafety : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void crashAfterEveryChange_data();
  void crashAfterEveryChange();

 private:
  // Lays out both sides for the scenario; returns pp-install's arguments.
  QStringList prepare(Scenario scenario);
  // pp-install as a process that ends after its Nth change; its exit code.
  int runCrashingAfter(int changes, const QStringList &args);
  // As Divergence, and each registered application is on both sides as one
  // of its packages unpacks and packs it, in the version registered.
  QString divergence() const;

  Rig m_rig;
  QMultiMap<QString, QMap<QString, QByteArray>> m_complete;  // every folder an archive here unpacks to, by name
  QMultiMap<QString, QByteArray> m_archives;  // every archive on the medium or the controller, by name
  QList<QByteArray> m_menus;                   // the menu files before and as intended
};

void TestCrashSafety::initTestCase() { QVERIFY(m_rig.start()); }

void TestCrashSafety::init() {
  QVERIFY(m_rig.reset());
  m_complete.clear();
  m_archives.clear();
}

QStringList TestCrashSafety::prepare(Scenario scenario) {
  QList<PackageSpec> both{Package("Alpha", "1.00", scenario == Scenario::Remove ? 40 : 0), Package("Beta")};
  // The package the run adds, or the one that is part of the rebuild.
  const PackageSpec added = scenario == Scenario::Update
                                ? Package("Alpha", "2.00", 160)
                                : Package("Gamma", "1.00", scenario == Scenario::Install ? 160 : 0);
  if (scenario == Scenario::Rebuild) both.append(added);
  MediumBuilder::WriteInstalled(m_rig.box(), m_rig.sim().root(), both);
  if (scenario == Scenario::Rebuild) QFile::remove(m_rig.box().host(kPendant + "\\PP_MENU.INI"));
  QList<PackageSpec> after = both;  // as the run registers them
  if (scenario == Scenario::Install) after.append(added);
  if (scenario == Scenario::Update) after[0] = added;
  if (scenario == Scenario::Remove) after.removeFirst();
  m_menus = {MediumBuilder::MenuFile(both), MediumBuilder::MenuFile(after)};
  for (const PackageSpec &pkg : both + QList<PackageSpec>{added}) {
    MediumBuilder::WritePackage(m_rig.box(), pkg);
    m_complete.insert(pkg.folderName(), pkg.archiveFiles());
  }
  for (const QString name : {"Alpha", "Beta", "Gamma"})
    for (const QByteArray &bytes : {m_rig.box().read("\\Storage Card\\PP_APP\\" + name + ".ZIP"),
                                    m_rig.sim().read("\\PP_APP\\" + name + ".ZIP")})
      if (!bytes.isEmpty()) m_archives.insert(name, bytes);
  switch (scenario) {
    case Scenario::Install: return {"--add", "Gamma"};
    case Scenario::Update: return {"--add", "Alpha"};
    case Scenario::Remove: return {"--remove", "Alpha"};
    default: return {};
  }
}

int TestCrashSafety::runCrashingAfter(int changes, const QStringList &args) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("PP_TEST_CRASH_AFTER"), QString::number(changes));
  process.setProcessEnvironment(environment);
  process.start(QStringLiteral(PP_INSTALL_EXE),
                QStringList{"--device-root", m_rig.box().root(), "--medium", "cf", "/D", m_rig.sim().address()} + args);
  if (!process.waitForFinished(120000)) {
    qWarning() << process.errorString();
    return -1;
  }
  return process.exitCode();
}

QString TestCrashSafety::divergence() const {
  return m_rig.divergence([this](const QString &name, const QString &folder, const QString &version) {
    if (!m_archives.values(name).contains(m_rig.sim().read("\\PP_APP\\" + name + ".ZIP")))
      return QStringLiteral("the controller's %1.ZIP is not the package's archive").arg(name);
    const QMap<QString, QByteArray> files = Files(m_rig.box().host(kPendant + u'\\' + folder));
    if (!m_complete.values(folder).contains(files))
      return QStringLiteral("%1 on the pendant is not as unpacked").arg(name);
    if (!files.value("res/" + name + ".txt").endsWith(' ' + version.toUtf8()))
      return QStringLiteral("%1 on the pendant is not version %2").arg(name, version);
    return QString();
  });
}

void TestCrashSafety::crashAfterEveryChange_data() {
  QTest::addColumn<int>("scenario");
  QTest::newRow("installing") << int(Scenario::Install);
  QTest::newRow("updating") << int(Scenario::Update);
  QTest::newRow("removing") << int(Scenario::Remove);
  QTest::newRow("rebuilding the pendant") << int(Scenario::Rebuild);
}

void TestCrashSafety::crashAfterEveryChange() {
  QFETCH(int, scenario);
  constexpr int kCrashed = 86;  // the exit code of a run ended by PP_TEST_CRASH_AFTER
  int changes = 1;
  for (;; ++changes) {
    QVERIFY(m_rig.reset());
    const QStringList args = prepare(static_cast<Scenario>(scenario));
    const int exitCode = runCrashingAfter(changes, args);
    QVERIFY2(exitCode == kCrashed || exitCode == 0, qPrintable(QString::number(exitCode)));
    const QString where = QStringLiteral("after change %1: ").arg(changes);
    // The start after the power cut: whatever it says, both sides agree
    // afterwards, and each application is whole in the version registered.
    const PpInstallRun next = m_rig.run();
    QVERIFY2(m_menus.contains(m_rig.sim().read(kControllerMenu)), qPrintable(where + next.text()));
    QVERIFY2(divergence().isEmpty(), qPrintable(where + divergence() + u'\n' + next.text()));
    QVERIFY2(!m_rig.box().exists("\\DiskOnChip\\PP_WORK"), qPrintable(where + "work folder left"));
    if (exitCode == 0) break;
  }
  // Every run that was cut short left something to check.
  QVERIFY2(changes > 5, qPrintable(QString::number(changes)));
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "TestCrashSafety.moc"
