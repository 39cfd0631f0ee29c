// The inputs that once broke a fuzz target, and the seed corpora, replayed
// through the targets' own code in an ordinary build: the promises each
// target checks must hold for every one of them.
#include "FuzzTargets.h"

#include <QDir>
#include <QFile>
#include <QtTest>

// fuzz_ini's body: it traps when its promise fails.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

const char *const kTargets[] = {"ini", "menu", "descriptors", "unzip"};

QString FuzzFolder() { return QStringLiteral(PP_SOURCE_DIR "/fuzz"); }

QFileInfoList Inputs(const QString &folder) {
  return QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
}

}  // namespace

class TestFuzzRegressions : public QObject {
  Q_OBJECT

 private slots:
  void everyTargetHasSeeds();
  void replay_data();
  void replay();
};

void TestFuzzRegressions::everyTargetHasSeeds() {
  // A corpus that moved away would make the replay pass with nothing in it.
  for (const char *target : kTargets)
    QVERIFY2(!Inputs(FuzzFolder() + "/corpus/" + target).isEmpty(), target);
}

void TestFuzzRegressions::replay_data() {
  QTest::addColumn<QString>("target");
  QTest::addColumn<QString>("path");
  for (const char *target : kTargets) {
    const QString name = QLatin1String(target);
    for (const QString &kind : {QStringLiteral("regressions/fuzz_") + name, QStringLiteral("corpus/") + name}) {
      for (const QFileInfo &input : Inputs(FuzzFolder() + u'/' + kind))
        QTest::newRow(qPrintable(kind + u'/' + input.fileName())) << name << input.filePath();
    }
  }
}

void TestFuzzRegressions::replay() {
  QFETCH(QString, target);
  QFETCH(QString, path);
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  QString broken;
  if (target == u"ini")
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), static_cast<size_t>(bytes.size()));
  else if (target == u"menu")
    broken = FuzzTargets::MenuInput(bytes);
  else if (target == u"descriptors")
    broken = FuzzTargets::DescriptorsInput(bytes);
  else
    broken = FuzzTargets::UnzipInput(bytes);
  QVERIFY2(broken.isEmpty(), qPrintable(broken));
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "TestFuzzRegressions.moc"
