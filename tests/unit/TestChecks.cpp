// Space, count and name checks made before anything is changed.
#include "EngineFixtures.h"
#include "platform/Device.h"

#include <QtTest>

class TestChecks : public QObject {
  Q_OBJECT

 private slots:
  void space_data() {
    QTest::addColumn<QString>("entries");  // "operation registered installedKiB packageKiB", comma separated
    QTest::addColumn<bool>("menuFile");
    QTest::addColumn<QString>("expected");  // required, pending, registered after
    QTest::newRow("last removal") << "2 1 100 0" << true << "-104 1 0";
    QTest::newRow("reinstall larger") << "1 1 100 120" << true << "20 1 1";
    QTest::newRow("mixed") << "0 1 50 0,2 1 30 0,1 0 0 10,0 0 0 70,2 0 0 0" << true << "-20 3 2";
    // Descriptors may claim any size: the sum stops at the limits instead of
    // wrapping round into room that is not there.
    QTest::newRow("claims beyond the largest size") << "1 0 0 2147483647,1 0 0 301" << false << "2147483647 2 2";
    QTest::newRow("removals beyond the smallest size") << "2 1 2147483647 0,2 1 2147483647 0" << true
                                                       << "-2147483648 2 0";
    QTest::newRow("update from a negative size") << "1 1 -2147483647 2147483647" << true << "2147483647 1 1";
  }
  void space() {
    QFETCH(QString, entries);
    QFETCH(bool, menuFile);
    Sandbox box;
    if (menuFile) box.write(kMenuPath, "[APPLICATION_INFO]\n");
    RecordingView view;
    TestEngine engine(&view);
    for (const QString &line : entries.split(',')) {
      const QStringList v = line.split(' ');
      AppEntry *entry = engine.add("A", v[1].toInt(), v[0].toInt());
      entry->installed.fileSize = v[2].toInt();
      entry->package.fileSize = v[3].toInt();
      engine.addNull();  // empty slots are passed over
    }
    QTEST(QStringLiteral("%1 %2 %3").arg(engine.RequiredSpace()).arg(engine.PendingCount()).arg(engine.RegisteredAfter()),
          "expected");
  }

  // Whole KiB only, and no wrap-round on a disk larger than the int range.
  void freeSpace() {
    Sandbox box;
    RecordingView view;
    TestEngine engine(&view);
    Device::SetFreeBytesOverride(10 * 1024 + 1023);
    QCOMPARE(engine.FreeSpaceKiB("\\DiskOnChip\\PP_APP"), 10);
    Device::SetFreeBytesOverride(qint64(1) << 45);
    QCOMPARE(engine.FreeSpaceKiB("\\DiskOnChip\\PP_APP"), 2147483647);
  }

  void oneTouchName_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("answer");  // -1: no question expected
    QTest::addColumn<int>("result");
    const QString fourteen = QString::fromUtf8("ツール設定画面"), fifteen = fourteen + "X";  // CP932 bytes
    QTest::newRow("14 bytes pass") << QStringList{"Short", fourteen} << -1 << 1;
    QTest::newRow("15 bytes, NO") << QStringList{"Short", fifteen, "ASCII, 15 bytes"} << 0 << 0;
    QTest::newRow("15 bytes, Escape") << QStringList{fifteen} << 2 << 1;
    QTest::newRow("walk ends at an empty name") << QStringList{"ten bytes.", "", "sixteen bytes..."} << -1 << 1;
  }
  void oneTouchName() {
    QFETCH(QStringList, names);
    QFETCH(int, answer);
    Sandbox box;
    CodePage::SetName("CP932");
    RecordingView view;
    view.answer({answer});
    TestEngine engine(&view);
    AppEntry *entry = engine.add("Tool", 1);
    for (int i = 0; i < names.size(); ++i) entry->installed.subMenuNames[i] = {"LANG", names[i]};
    QTEST(engine.OneTouchNameCheck(entry), "result");
    QCOMPARE(view.alerts.size(), answer < 0 ? 0 : 1);
    if (answer < 0) return;
    const AlertRequest &asked = view.alerts[0].request;
    QVERIFY(asked.messageId == 2023 && asked.yesNo && asked.showCancel && asked.okEnabled);
    QCOMPARE(asked.detail, "Error name ---> (" + names.value(names.size() > 1 ? 1 : 0) + ")");  // the first longest
  }
};

QTEST_GUILESS_MAIN(TestChecks)
#include "TestChecks.moc"
