// Installing packages from the medium through the pendant's extraction
// library: version comparison, the downgrade question, and the ways the
// extraction can fail while the other packages still go in.
#include "TransferRig.h"

#include <QLibrary>

class TestInstallation : public QObject {
  Q_OBJECT

 private slots:
  void versions_data() {
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("package");
    QTest::addColumn<int>("answer");  // to the downgrade question; -1: not asked
    QTest::newRow("new") << "" << "1.00" << -1;
    QTest::newRow("1.9 over 1.10: text order, no question") << "1.10" << "1.9" << -1;
    QTest::newRow("same again") << "1.00" << "1.00" << -1;
    QTest::newRow("older, Escape installs") << "2.0" << "1.5" << 2;
    QTest::newRow("older, no") << "2.0" << "1.5" << 0;
  }
  void versions() {
    QFETCH(QString, installed);
    QFETCH(QString, package);
    QFETCH(int, answer);
    Rig rig;
    MediumBuilder::WritePackage(rig.box, PackageSpec::Simple(QStringLiteral("Alpha")));
    if (!installed.isEmpty()) rig.box.write(kPendant + "\\Alpha\\stale.txt", "from the old version");
    AppEntry *entry = rig.engine.add(QStringLiteral("Alpha"), AppEntry::Add, installed, package);
    entry->installed.subMenuNames = {{{"JAPANESE", "old-ja"}, {"ENGLISH", "old-en"}}};
    entry->package.subMenuNames = {{{"ENGLISH", "new-en"}}};
    const AppRecord before = entry->installed;
    rig.view.answer({answer});

    QCOMPARE(rig.engine.InstallOnPendant(), 1);
    QCOMPARE(rig.alerts(), answer < 0 ? QList<int>() : QList<int>{2019});
    // Cleared on NO, so that the older archive is not sent either.
    QCOMPARE(entry->operation, answer == 0 ? 0 : int(AppEntry::Add));
    if (answer == 0) {
      QCOMPARE(entry->installed, before);
      QCOMPARE(rig.box.tree(kPendant + "\\Alpha"), QStringList{"stale.txt"});
      return;
    }
    QCOMPARE(rig.box.tree(kPendant + "\\Alpha"), QStringList({"Alpha.exe", "res/Alpha.txt"}));
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
    // Only unzip.dll.so there: what a loader adding suffixes would find.
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
      MediumBuilder::WritePackage(rig.box, PackageSpec::Simple(name));
      rig.engine.add(name, AppEntry::Add, {}, QStringLiteral("1.00"));
    }
    const QString dll = rig.box.host("\\DiskOnChip\\unzip.dll");
    if (fault == u"renamed") QFile::rename(dll, dll + ".so");
    if (fault == u"noversion") InstallUnzipLibrary(rig.box, UnzipVariant::WithoutVersion);
    if (fault == u"corrupt") rig.box.write(kMedium + "\\Alpha.ZIP", "PK\x03\x04 not really an archive");
    if (fault == u"nofolder") rig.engine.EntryAt(0)->package.folder.clear();

    QTEST(rig.engine.InstallOnPendant(), "result");
    QTEST(rig.alerts(), "alerts");
    for (int i = 0; i < rig.view.alerts.size(); ++i) QCOMPARE(rig.detail(i), detail);
    if (fault == u"nofolder") QVERIFY(rig.view.log.contains("status 2: APPLICATION_FOLDER_NAME error."));
    for (const QString name : {"Alpha", "Beta"}) {
      QCOMPARE(rig.engine.FindEntry(name)->registered, installed.contains(name) ? 1 : 0);
      QCOMPARE(rig.box.exists(kPendant + u'\\' + name + u'\\' + name + ".exe"), installed.contains(name));
    }
  }
};

QTEST_GUILESS_MAIN(TestInstallation)
#include "TestInstallation.moc"
