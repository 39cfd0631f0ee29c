// The list model: the marks, the space and count checks and the order, as
// pure functions of the entries.
#include "app/EntryList.h"

#include <QtTest>

// One entry per word "name/flags/installed KiB/package KiB". Flags: r
// registered, i installed, p a package offered; then the marks, set in turn
// through the list: a Add, d Remove, n none.
static EntryList List(const QString &words) {
  EntryList list;
  for (const QString &word : words.split(' ')) {
    const QStringList f = word.split('/');
    AppEntry entry;
    entry.name = f[0];
    entry.registered = f.value(1).contains('r');
    entry.installed.appVersion = entry.installed.appPath = f.value(1).contains('i') ? "1" : "";
    entry.package.appVersion = f.value(1).contains('p') ? "2" : "";
    entry.installed.fileSize = f.value(2).toInt();
    entry.package.fileSize = f.value(3).toInt();
    entry.autoRun = entry.oneTouch = 1;
    list.Append(entry);
    for (QChar mark : f.value(1))
      if (QString("nad").contains(mark)) list.SetOperation(list.Count() - 1, QString("nad").indexOf(mark));
  }
  return list;
}

class TestEntryList : public QObject {
  Q_OBJECT

 private slots:
  void marksAndSpace_data() {
    QTest::addColumn<QString>("entries");  // "name/flags/installed KiB/package KiB" each
    QTest::addColumn<bool>("menuFile");
    QTest::addColumn<QString>("expected");  // KiB required, marks pending, registered after, entries with options
    // 2 KiB per application registered anew, 2 KiB for the menu file.
    QTest::newRow("last removal") << "A/rid/100" << true << "-104 1 0 1";
    QTest::newRow("reinstall larger") << "A/ripa/100/120" << true << "20 1 1 1";
    QTest::newRow("mixed") << "A/ri/50 B/rid/30 C/pa/0/10 D/p/0/70" << true << "-20 2 2 4";
    QTest::newRow("Add needs a package, Remove an installed version") << "A/a B/rd" << true << "0 0 1 2";
    QTest::newRow("cleared, a package alone loses its options") << "A/pan B/ipan" << false << "0 0 0 1";
    // Descriptors may claim any size: the sum stops at the limits instead of
    // wrapping round into room that is not there.
    QTest::newRow("claims beyond the largest size") << "A/pa/0/2147483647 B/pa/0/301" << false << "2147483647 2 2 2";
    QTest::newRow("removals beyond the smallest size") << "A/rid/2147483647 B/rid/2147483647" << true << "-2147483648 2 0 2";
  }
  void marksAndSpace() {
    QFETCH(QString, entries);
    QFETCH(bool, menuFile);
    const EntryList list = List(entries);
    const auto options = std::count_if(list.begin(), list.end(), [](const AppEntry &e) { return e.autoRun && e.oneTouch; });
    QTEST(QString("%1 %2 %3 %4").arg(list.RequiredSpace(menuFile)).arg(list.PendingCount()).arg(list.RegisteredAfter()).arg(options),
          "expected");
  }

  void sort() {
    // Only entries neither marked nor registered move: by UTF-16 code units, a prefix first.
    EntryList list = List(QString::fromUtf8("z/r m/r y/pa b a ab B _ \u00e4 A1"));
    list.Sort();
    QStringList names;
    for (const AppEntry &entry : list) names << entry.name;
    QCOMPARE(names.join(' '), QString::fromUtf8("z m y A1 B _ a ab b \u00e4"));
  }

  // The one-touch button shows 14 bytes of a name in the device's code page;
  // the first longest name is the one asked about, and an empty name ends the walk.
  void oneTouchName_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("tooLong");
    const QString fourteen = QString::fromUtf8("ツール設定画面");  // 14 bytes in CP932
    QTest::newRow("14 bytes pass") << QStringList{"Short", fourteen} << QString();
    QTest::newRow("15 bytes") << QStringList{"Short", fourteen + "X", "ASCII, 15 bytes"} << fourteen + "X";
    QTest::newRow("walk ends at an empty name") << QStringList{"ten bytes.", "", "sixteen bytes..."} << QString();
  }
  void oneTouchName() {
    QFETCH(QStringList, names);
    AppEntry entry;
    for (int i = 0; i < names.size(); ++i) entry.installed.subMenuNames[i] = {"LANG", names[i]};
    QTEST(OneTouchNameTooLong(entry).value_or(QString()), "tooLong");
  }

  // Versions compare as text: a package 1.9 is no older than an installed 1.10.
  void olderVersion() {
    QVERIFY(IsOlderVersion("2.0", "1.5") && IsOlderVersion("1.00", "1.0") && !IsOlderVersion("1.10", "1.9") &&
            !IsOlderVersion("", "1.0") && !IsOlderVersion("1.0", "1.0"));
  }
};

QTEST_GUILESS_MAIN(TestEntryList)
#include "TestEntryList.moc"
