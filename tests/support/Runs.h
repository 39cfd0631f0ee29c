#pragma once
// Whole runs of the installer inside the test process, what they print, and
// the check that a run left the pendant and the controller in line. Rig is
// the fixture of the suites that run whole installations: one controller
// simulator for the test case, a fresh device for every test.
#include "ConsoleView.h"
#include "ControllerSim.h"
#include "Sandbox.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <memory>

// What pp-install printed, or a ConsoleView wrote: one line per status line,
// alert or list row.
struct Transcript {
  QStringList lines;

  QStringList alerts() const;
  // Each alert as "<id> <detail>": what a failure decides, without the texts around.
  QStringList alertIdsAndDetails() const;
};

// The first of the expected lines that is not among the lines in this order;
// empty when all are.
QString MissingInOrder(const QStringList &lines, const QStringList &expected);

struct PpInstallRun : Transcript {
  int exitCode = -1;
  QString err;
  QString text() const;  // for failure messages
};

// The headless view writing into memory, answering from a script.
struct RecordedView {
  QString text;
  QTextStream stream{&text};
  ConsoleView view{stream};
  Transcript transcript();
};

// Called for each registered application (name, folder, version) when the
// common checks held; returns what is wrong with it, or nothing.
using AppCheck = std::function<QString(const QString &name, const QString &folder, const QString &version)>;

class Rig {
 public:
  // For initTestCase: the simulator, and timeouts short enough to keep a
  // stall cheap, long enough for a loaded machine.
  bool start();
  // For init: a well-behaved controller holding nothing, a fresh device with
  // the extraction library and an empty medium.
  bool reset();

  ControllerSim &sim() const { return *m_sim; }
  Sandbox &box() const { return *m_box; }
  // pp-install with the CF card as its medium, "/D" the simulator, then args.
  PpInstallRun run(const QStringList &args = {}) const;
  // Empty when pendant and controller agree: no application folder on either
  // side, or the same menu file on both, each application it registers
  // present as an executable on the pendant and as an archive on the
  // controller, no other application folder on the pendant and nothing left
  // of a transfer or an extraction.
  QString divergence(const AppCheck &check = {}) const;
  QStringList registered() const;  // by the controller's menu file
  // Both sides in one line: "pendant files [registered] | controller files
  // [registered]", where the pendant lists its menu file, executables and
  // stray files, and "-" stands for a missing folder.
  QString sides() const;

 private:
  std::unique_ptr<ControllerSim> m_sim;
  std::unique_ptr<Sandbox> m_box;
};
