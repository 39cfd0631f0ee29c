// The inputs that once broke a fuzz target, and the seed corpora, replayed
// through the targets' own bodies in an ordinary build: the promises each
// target checks must hold for every one of them.
#include "../../fuzz/FuzzTargets.h"

#include <QDir>
#include <QtTest>

static const QMap<QString, QString (*)(const QByteArray &)> kTargets = {{"ini", &FuzzTargets::IniInput},
                                                                         {"menu", &FuzzTargets::MenuInput},
                                                                         {"descriptors", &FuzzTargets::DescriptorsInput},
                                                                         {"unzip", &FuzzTargets::UnzipInput}};

class TestFuzzRegressions : public QObject {
  Q_OBJECT

 private slots:
  void replay_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path");
    for (const QString &target : kTargets.keys())
      for (const QString &kind : {"regressions/fuzz_" + target, "corpus/" + target}) {
        const QFileInfoList inputs = QDir(PP_SOURCE_DIR "/fuzz/" + kind).entryInfoList(QDir::Files, QDir::Name);
        // A corpus that moved away would make the replay pass with nothing in it.
        QVERIFY2(!inputs.isEmpty() || kind.startsWith("regressions"), qPrintable(kind));
        for (const QFileInfo &input : inputs) QTest::newRow(qPrintable(kind + '/' + input.fileName())) << target << input.filePath();
      }
  }
  void replay() {
    QFETCH(QString, target);
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(kTargets.value(target)(file.readAll()), QString());  // what was broken, if anything
  }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "TestFuzzRegressions.moc"
