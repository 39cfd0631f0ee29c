// What a run tells afterwards: how far a stage has got, what it did to the
// registered applications, and the session log that keeps the newest lines.
#include "app/ProgressMeter.h"
#include "app/RunSummary.h"
#include "app/SessionLog.h"

#include <QTemporaryDir>
#include <QtTest>

class TestRunReports : public QObject {
  Q_OBJECT

 private slots:
  void stageBytes_data();
  void stageBytes();
  void compareInstalled();
  void logKeepsTheNewest();
};

void TestRunReports::stageBytes_data() {
  QTest::addColumn<qint64>("before");
  QTest::addColumn<qint64>("weight");
  QTest::addColumn<qint64>("done");
  QTest::addColumn<qint64>("total");
  QTest::addColumn<qint64>("expected");
  QTest::newRow("half of a file") << 100LL << 50LL << 10LL << 20LL << 125LL;
  // An archive of 1 MiB that unpacks to 8 MiB moves the stage by its own size.
  QTest::newRow("scaled to its weight") << 0LL << 1024LL << 4096LL << 8192LL << 512LL;
  QTest::newRow("more than announced") << 0LL << 50LL << 80LL << 60LL << 50LL;
  QTest::newRow("size not known") << 10LL << 50LL << 30LL << 0LL << 40LL;
  QTest::newRow("size not known, past its weight") << 10LL << 50LL << 90LL << 0LL << 60LL;
  QTest::newRow("a file of no weight") << 10LL << 0LL << 90LL << 100LL << 10LL;
}

void TestRunReports::stageBytes() {
  QFETCH(qint64, before);
  QFETCH(qint64, weight);
  QFETCH(qint64, done);
  QFETCH(qint64, total);
  QTEST(ProgressMeter::StageBytes(before, weight, done, total), "expected");
}

void TestRunReports::compareInstalled() {
  RunSummary summary;
  CompareInstalled({{"Alpha", "1.00"}, {"Beta", "1.00"}, {"Gamma", "2.00"}},
                   {{"Alpha", "1.00"}, {"Beta", "0.90"}, {"Delta", "1.00"}}, &summary);
  QCOMPARE(summary.installed, QStringList{"Delta"});
  QCOMPARE(summary.updated, QStringList{"Beta"});  // a downgrade is an update too
  QCOMPARE(summary.removed, QStringList{"Gamma"});
  QCOMPARE(summary.kept, QStringList{"Alpha"});
  QVERIFY(SummaryText(summary).startsWith("Execute finished: installed 1, updated 1, removed 1, kept 1; sent 0 files (0 bytes)"));
}

// Past its limit the log becomes the older generation (replacing the one
// before); the newest line is always in the current file.
void TestRunReports::logKeepsTheNewest() {
  QTemporaryDir dir;
  const QString path = dir.filePath("PP_INSTALL.LOG");
  SessionLog log(path, 200);
  for (int i = 0; i < 12; ++i) log.Write(QStringLiteral("line %1 ").arg(i) + QString(40, u'x'));
  QFile current(path), older(SessionLog::OlderPath(path));
  QVERIFY(current.open(QIODevice::ReadOnly) && older.open(QIODevice::ReadOnly));
  const QByteArray now = current.readAll(), before = older.readAll();
  QVERIFY(now.size() <= 200 && before.size() <= 200);
  QVERIFY(now.contains("line 11 ") && !now.contains("line 8 "));
  QVERIFY(before.contains("line 8 ") && !before.contains("line 5 "));
  QCOMPARE(older.fileName(), dir.filePath("PP_INSTALL.OLD"));

  SessionLog nowhere(dir.filePath("no such folder/PP_INSTALL.LOG"));
  nowhere.Write("skipped, and nothing else happens");
  QVERIFY(!QFile::exists(dir.filePath("no such folder")));
}

QTEST_GUILESS_MAIN(TestRunReports)
#include "TestRunReports.moc"
