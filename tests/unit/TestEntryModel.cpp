// The list model: display order and the marks an entry accepts.
#include "EngineFixtures.h"
#include "RecordingView.h"

#include <QtTest>

class TestEntryModel : public QObject {
  Q_OBJECT

 private slots:
  void sortOrder_data();
  void sortOrder();
  void marks();
};

void TestEntryModel::sortOrder_data() {
  // Entries as "name" (unmarked, unregistered), "name:R" (registered) or
  // "name:A" (marked Add), in the readers' order.
  QTest::addColumn<QStringList>("entries");
  QTest::addColumn<QStringList>("sorted");
  QTest::newRow("prefix first") << QStringList{"b", "a", "ab"} << QStringList{"a", "ab", "b"};
  QTest::newRow("code units, not locale") << QStringList{"b", "B", "_"} << QStringList{"B", "_", "b"};
  QTest::newRow("registered and marked stay")
      << QStringList{"z:R", "m:R", "y:A", "c", "a", "b"} << QStringList{"z:R", "m:R", "y:A", "a", "b", "c"};
}

void TestEntryModel::sortOrder() {
  QFETCH(QStringList, entries);
  QFETCH(QStringList, sorted);
  RecordingView view;
  TestEngine engine(&view);
  for (const QString &e : entries)
    engine.add(e.section(':', 0, 0), e.endsWith(":R"), e.endsWith(":A") ? AppEntry::Add : AppEntry::None);
  engine.SortEntries();
  QStringList order;
  for (const AppEntry *entry : engine.Entries())
    order << entry->name + (entry->registered ? ":R" : entry->operation ? ":A" : "");
  QCOMPARE(order, sorted);
}

void TestEntryModel::marks() {
  RecordingView view;
  TestEngine engine(&view);
  AppEntry *installedOnly = engine.add("I", 1);
  installedOnly->installed.appVersion = "1.0";
  installedOnly->installed.appPath = "PP_APP\\I\\I.exe";
  installedOnly->autoRun = 1;
  AppEntry *offeredOnly = engine.add("O", 0);
  offeredOnly->package.appVersion = "1.0";
  offeredOnly->oneTouch = 1;

  engine.SetOperation(0, AppEntry::Add);  // nothing on the medium: refused
  QCOMPARE(engine.GetOperation(0), 0);
  engine.SetOperation(0, AppEntry::Remove);
  QCOMPARE(engine.GetOperation(0), 2);
  engine.SetOperation(1, AppEntry::Remove);  // not installed: refused
  QCOMPARE(engine.GetOperation(1), 0);
  engine.SetOperation(1, AppEntry::Add);
  QCOMPARE(engine.GetOperation(1), 1);
  engine.SetOperation(1, 7);
  QCOMPARE(engine.GetOperation(1), 0);
  // Clearing the mark of an unregistered application drops its options too.
  engine.SetOperation(0, AppEntry::None);
  engine.SetOperation(1, AppEntry::None);
  QCOMPARE(installedOnly->autoRun, 1);
  QCOMPARE(offeredOnly->oneTouch, 0);
  QVERIFY(engine.HasPendantVersion(0));
  QVERIFY(!engine.HasPendantVersion(1));
  QVERIFY(!engine.HasPendantVersion(2));
  QCOMPARE(engine.GetOperation(-1), 0);
}

QTEST_GUILESS_MAIN(TestEntryModel)
#include "TestEntryModel.moc"
