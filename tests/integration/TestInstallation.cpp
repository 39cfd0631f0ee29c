// Installing packages from the medium through the pendant's extraction
// library: new, updated, equal and older versions, and every way the
// extraction can fail while the other packages still go in.
#include "TransferRig.h"

#include <QLibrary>

namespace {

PackageSpec Package(const QString &name) {
  PackageSpec pkg;
  pkg.name = name;
  pkg.files = {{QStringLiteral("data/%1.txt").arg(name), "data of " + name.toUtf8()}};
  return pkg;
}

const QStringList kExtracted{"Alpha.exe", "data/Alpha.txt"};

}  // namespace

class TestInstallation : public QObject {
  Q_OBJECT

 private slots:
  void versions_data() {
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("package");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("installs");
    QTest::newRow("new") << "" << "1.00" << 1 << false << true;
    QTest::newRow("update") << "1.00" << "1.10" << 1 << false << true;
    QTest::newRow("1.9 over 1.10: text order, no question") << "1.10" << "1.9" << 1 << false << true;
    QTest::newRow("same again") << "1.00" << "1.00" << 1 << false << true;
    QTest::newRow("older, yes") << "2.0" << "1.5" << 1 << true << true;
    QTest::newRow("older, Escape") << "2.0" << "1.5" << 2 << true << true;
    QTest::newRow("older, no") << "2.0" << "1.5" << 0 << true << false;
  }
  void versions() {
    QFETCH(QString, installed);
    QFETCH(QString, package);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, installs);
    Rig rig;
    MediumBuilder::WritePackage(rig.box, Package(QStringLiteral("Alpha")));
    const QString stale = kPendant + "\\Alpha\\stale.txt";
    if (!installed.isEmpty()) rig.box.write(stale, "from the old version");
    AppEntry *entry = rig.engine.add(QStringLiteral("Alpha"), AppEntry::Add, installed, package);
    entry->installed.subMenuNames = {{{"JAPANESE", "old-ja"}, {"ENGLISH", "old-en"}}};
    entry->package.subMenuNames = {{{"ENGLISH", "new-en"}}};
    const AppRecord before = entry->installed;
    rig.view.answer({answer});

    QCOMPARE(rig.engine.InstallOnPendant(), 1);
    QCOMPARE(rig.alerts(), asked ? QList<int>{2019} : QList<int>());
    QCOMPARE(entry->operation, installs ? int(AppEntry::Add) : 0);
    if (!installs) {
      QCOMPARE(entry->installed, before);
      QCOMPARE(rig.box.tree(kPendant + "\\Alpha"), QStringList{"stale.txt"});
      return;
    }
    QCOMPARE(rig.box.tree(kPendant + "\\Alpha"), kExtracted);
    QCOMPARE(entry->registered, 1);
    QCOMPARE(entry->installed.appVersion, package);
    QCOMPARE(entry->installed.fileSize, 20);
    // The package names only English: the second pair keeps the installed name.
    QCOMPARE(entry->installed.subMenuNames[0], SubMenuName({"ENGLISH", "new-en"}));
    QCOMPARE(entry->installed.subMenuNames[1], SubMenuName({"ENGLISH", "old-en"}));
    QVERIFY(rig.view.hasStatus(
        "unzip success.(efq \"\\Storage Card\\PP_APP\\Alpha.ZIP\" \\DiskOnChip\\PP_APP\\Alpha\\)"));
    QVERIFY(!QLibrary(rig.box.host("\\DiskOnChip\\unzip.dll")).isLoaded());
  }

  void failures_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("result");
    QTest::addColumn<QList<int>>("alerts");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QStringList>("installed");
    const QString dll = QStringLiteral("error file :(\\DiskOnChip\\unzip.dll)");
    QTest::newRow("no library") << "missing" << 1 << QList<int>{2021, 2021} << dll << QStringList();
    QTest::newRow("library only under another name") << "renamed" << 1 << QList<int>{2021, 2021} << dll << QStringList();
    QTest::newRow("library without version") << "noversion" << 1 << QList<int>{2022, 2022} << dll << QStringList();
    QTest::newRow("corrupt archive") << "corrupt" << 1 << QList<int>{2005}
                                     << "error file :(\\Storage Card\\PP_APP\\Alpha.ZIP)" << QStringList{"Beta"};
    QTest::newRow("no folder name") << "nofolder" << 0 << QList<int>() << "" << QStringList{"Beta"};
  }
  void failures() {
    QFETCH(QString, fault);
    QFETCH(QString, detail);
    QFETCH(QStringList, installed);
    Rig rig;
    for (const QString name : {"Alpha", "Beta"}) {
      MediumBuilder::WritePackage(rig.box, Package(name));
      rig.engine.add(name, AppEntry::Add, {}, QStringLiteral("1.00"));
    }
    const QString dll = rig.box.host("\\DiskOnChip\\unzip.dll");
    if (fault == u"missing") QFile::remove(dll);
    if (fault == u"renamed") QFile::rename(dll, dll + ".so");  // what a loader adding suffixes would find
    if (fault == u"noversion") InstallUnzipLibrary(rig.box, UnzipVariant::WithoutVersion);
    if (fault == u"corrupt") rig.box.write(kMedium + "\\Alpha.ZIP", "PK\x03\x04 not really an archive");
    if (fault == u"nofolder") rig.engine.EntryAt(0)->package.folder.clear();

    QTEST(rig.engine.InstallOnPendant(), "result");
    QTEST(rig.alerts(), "alerts");
    for (int i = 0; i < rig.view.alerts.size(); ++i) QCOMPARE(rig.detail(i), detail);
    if (fault == u"nofolder") QVERIFY(rig.view.log.contains("status 2: APPLICATION_FOLDER_NAME error."));
    for (const QString name : {"Alpha", "Beta"}) {
      const AppEntry *entry = rig.engine.FindEntry(name);
      QCOMPARE(entry->registered, installed.contains(name) ? 1 : 0);
      QCOMPARE(rig.box.exists(kPendant + u'\\' + name + u'\\' + name + ".exe"), installed.contains(name));
    }
  }
};

QTEST_GUILESS_MAIN(TestInstallation)
#include "TestInstallation.moc"
