#pragma once
// Whole runs of the headless installer inside the test process, and the
// check that a run left the pendant and the controller in line.
#include <QString>
#include <QStringList>
#include <functional>

class ControllerSim;
class Sandbox;

struct PpInstallRun {
  int exitCode = -1;
  QStringList lines;  // standard output
  QString err;

  bool has(const QString &line) const { return lines.contains(line); }
  QStringList alerts() const;
  // Each alert as "<id> <detail>", as pp-install prints it without the
  // texts around: what a fault decides.
  QStringList alertIdsAndDetails() const;
  QString text() const;
};

// pp-install on the sandbox's device with the CF card as its medium,
// "/D address", then args.
PpInstallRun RunPpInstall(const Sandbox &box, const QString &controllerAddress, const QStringList &args = {});

// Called for each registered application (name, folder, version) when the
// common checks held; returns what is wrong with it, or nothing.
using AppCheck = std::function<QString(const QString &name, const QString &folder, const QString &version)>;

// Empty when pendant and controller agree: no application folder on either
// side, or the same menu file on both, each application it registers present
// as an executable on the pendant and as an archive on the controller, no
// other application folder on the pendant and nothing left of a transfer or
// an extraction. The controller's files are read whether its server runs or not.
QString Divergence(const Sandbox &box, const ControllerSim &controller, const AppCheck &check = {});
