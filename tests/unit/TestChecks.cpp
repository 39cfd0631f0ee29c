// Space, count and name checks made before anything is changed.
#include "EngineFixtures.h"
#include "platform/Device.h"

#include <QtTest>

class TestChecks : public QObject {
  Q_OBJECT

 private slots:
  void space_data();
  void space();
  void freeSpace();
  void oneTouchName_data();
  void oneTouchName();
};

void TestChecks::space_data() {
  QTest::addColumn<QString>("entries");  // "operation registered installedKiB packageKiB", comma separated
  QTest::addColumn<bool>("menuFile");
  QTest::addColumn<QString>("expected");  // required, pending, registered after
  QTest::newRow("empty list") << "" << false << "0 0 0";
  QTest::newRow("empty list, menu file left") << "" << true << "-2 0 0";
  QTest::newRow("first installation") << "1 0 0 100" << false << "104 1 1";
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

void TestChecks::space() {
  QFETCH(QString, entries);
  QFETCH(bool, menuFile);
  QFETCH(QString, expected);
  Sandbox box;
  if (menuFile) box.write(kMenuPath, "[APPLICATION_INFO]\n");
  RecordingView view;
  TestEngine engine(&view);
  for (const QString &line : entries.split(',', Qt::SkipEmptyParts)) {
    const QStringList v = line.split(' ');
    AppEntry *entry = engine.add("A", v[1].toInt(), v[0].toInt());
    entry->installed.fileSize = v[2].toInt();
    entry->package.fileSize = v[3].toInt();
    engine.addNull();  // empty slots are passed over
  }
  QCOMPARE(QStringLiteral("%1 %2 %3").arg(engine.RequiredSpace()).arg(engine.PendingCount()).arg(engine.RegisteredAfter()),
           expected);
}

void TestChecks::freeSpace() {
  Sandbox box;
  RecordingView view;
  TestEngine engine(&view);
  Device::SetFreeBytesOverride(10 * 1024 + 1023);
  QCOMPARE(engine.FreeSpaceKiB("\\DiskOnChip\\PP_APP"), 10);
  Device::SetFreeBytesOverride(-1);
  QVERIFY(engine.FreeSpaceKiB("\\DiskOnChip\\PP_APP") > 0);
  QCOMPARE(engine.FreeSpaceKiB("\\..\\outside"), 0);  // a volume that cannot be asked has no room
}

void TestChecks::oneTouchName_data() {
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<int>("answer");  // -1: no question expected
  QTest::addColumn<int>("result");
  const QString fourteen = QString::fromUtf8("ツール設定画面"), fifteen = fourteen + "X";  // CP932 bytes
  QTest::newRow("14 bytes pass") << QStringList{"Short", fourteen} << -1 << 1;
  QTest::newRow("15 bytes, NO") << QStringList{"Short", fifteen, "ASCII, 15 bytes"} << 0 << 0;
  QTest::newRow("15 bytes, YES") << QStringList{fifteen} << 1 << 1;
  QTest::newRow("15 bytes, Escape") << QStringList{fifteen} << 2 << 1;
  QTest::newRow("walk ends at an empty name") << QStringList{"ten bytes.", "", "sixteen bytes..."} << -1 << 1;
}

void TestChecks::oneTouchName() {
  QFETCH(QStringList, names);
  QFETCH(int, answer);
  QFETCH(int, result);
  Sandbox box;
  CodePage::SetName("CP932");
  RecordingView view;
  view.answer({answer});
  TestEngine engine(&view);
  AppEntry *entry = engine.add("Tool", 1);
  for (int i = 0; i < names.size(); ++i) entry->installed.subMenuNames[i] = {"LANG", names[i]};
  QCOMPARE(engine.OneTouchNameCheck(entry), result);
  QCOMPARE(view.alerts.size(), answer < 0 ? 0 : 1);
  if (answer < 0) return;
  const AlertRequest &asked = view.alerts[0].request;
  QVERIFY(asked.messageId == 2023 && asked.yesNo && asked.showCancel && asked.okEnabled);
  QCOMPARE(asked.detail, "Error name ---> (" + names.value(names.size() > 1 ? 1 : 0) + ")");  // the first longest
}

QTEST_GUILESS_MAIN(TestChecks)
#include "TestChecks.moc"
