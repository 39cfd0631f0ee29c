// Space, count and name checks made before anything is changed.
#include "EngineFixtures.h"
#include "RecordingView.h"
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
  // Entries as "operation registered installedKiB packageKiB".
  QTest::addColumn<QStringList>("entries");
  QTest::addColumn<bool>("menuFile");
  QTest::addColumn<int>("required");
  QTest::addColumn<int>("pending");
  QTest::addColumn<int>("registeredAfter");

  QTest::newRow("empty list") << QStringList() << false << 0 << 0 << 0;
  QTest::newRow("empty list, menu file left") << QStringList() << true << -2 << 0 << 0;
  QTest::newRow("first installation") << QStringList{"1 0 0 100"} << false << 104 << 1 << 1;
  QTest::newRow("last removal") << QStringList{"2 1 100 0"} << true << -104 << 1 << 0;
  QTest::newRow("reinstall larger") << QStringList{"1 1 100 120"} << true << 20 << 1 << 1;
  QTest::newRow("mixed") << QStringList{"0 1 50 0", "2 1 30 0", "1 0 0 10", "0 0 0 70", "2 0 0 0"} << true
                         << -32 + 12 << 3 << 2;
}

void TestChecks::space() {
  QFETCH(QStringList, entries);
  QFETCH(bool, menuFile);
  QFETCH(int, required);
  QFETCH(int, pending);
  QFETCH(int, registeredAfter);
  Sandbox box;
  if (menuFile) box.write(kMenuPath, "[APPLICATION_INFO]\n");
  RecordingView view;
  TestEngine engine(&view);
  for (const QString &line : entries) {
    const QStringList v = line.split(' ');
    AppEntry *entry = engine.add("A", v[1].toInt(), v[0].toInt());
    entry->installed.fileSize = v[2].toInt();
    entry->package.fileSize = v[3].toInt();
    engine.addNull();  // empty slots are passed over
  }
  QCOMPARE(engine.RequiredSpace(), required);
  QCOMPARE(engine.PendingCount(), pending);
  QCOMPARE(engine.RegisteredAfter(), registeredAfter);
}

void TestChecks::freeSpace() {
  Sandbox box;
  RecordingView view;
  TestEngine engine(&view);
  Device::SetFreeBytesOverride(10 * 1024 + 1023);
  QCOMPARE(engine.FreeSpaceKiB("\\DiskOnChip\\PP_APP"), 10);
  Device::SetFreeBytesOverride(-1);
  QVERIFY(engine.FreeSpaceKiB("\\DiskOnChip\\PP_APP") > 0);
  // A volume that cannot be asked has no room.
  QCOMPARE(engine.FreeSpaceKiB("\\..\\outside"), 0);
}

void TestChecks::oneTouchName_data() {
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<int>("answer");  // -1: no question expected
  QTest::addColumn<int>("result");
  QTest::addColumn<QString>("named");

  const QString fourteen = QString::fromUtf8("ツール設定画面");  // 7 double-byte characters
  const QString fifteen = fourteen + "X";
  QTest::newRow("14 bytes pass") << QStringList{"Short", fourteen} << -1 << 1 << "";
  QTest::newRow("15 bytes, NO") << QStringList{"Short", fifteen, "ASCII, 15 bytes"} << 0 << 0 << fifteen;
  QTest::newRow("15 bytes, YES") << QStringList{fifteen} << 1 << 1 << fifteen;
  QTest::newRow("15 bytes, Escape") << QStringList{fifteen} << 2 << 1 << fifteen;
  QTest::newRow("walk ends at an empty name")
      << QStringList{"ten bytes.", "twelve bytes", "", "", "sixteen bytes..."} << -1 << 1 << "";
}

void TestChecks::oneTouchName() {
  QFETCH(QStringList, names);
  QFETCH(int, answer);
  QFETCH(int, result);
  QFETCH(QString, named);
  Sandbox box;
  CodePage::SetName("CP932");
  RecordingView view;
  view.answer({answer});
  TestEngine engine(&view);
  AppEntry *entry = engine.add("Tool", 1);
  for (int i = 0; i < names.size(); ++i) entry->installed.subMenuNames[i] = {"LANG", names[i]};
  QCOMPARE(engine.OneTouchNameCheck(entry), result);
  if (answer < 0) {
    QVERIFY(view.alerts.isEmpty());
    return;
  }
  QCOMPARE(view.alertIds(), QList<int>{2023});
  const AlertRequest &asked = view.alerts.first().request;
  QVERIFY(asked.yesNo && asked.showCancel && asked.okEnabled);
  QCOMPARE(asked.detail, "Error name ---> (" + named + ")");
}

QTEST_GUILESS_MAIN(TestChecks)
#include "TestChecks.moc"
