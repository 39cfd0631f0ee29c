#pragma once
// What the transfer tests share: a device with the extraction library and a
// medium, a recording view, an engine whose list a test fills directly, and
// one controller simulator per test class, emptied and made well-behaved
// again before every test.
#include "ControllerSim.h"
#include "MediumBuilder.h"
#include "RecordingView.h"
#include "Sandbox.h"
#include "UnzipLibrary.h"
#include "app/InstallerApp.h"
#include "app/InstallerEngine.h"
#include "ftp/FtpSession.h"
#include "platform/Device.h"

#include <QDir>
#include <QTest>

inline const QString kPendant = QStringLiteral("\\DiskOnChip\\PP_APP");
inline const QString kMedium = QStringLiteral("\\Storage Card\\PP_APP");
// Nothing listens there: connecting is refused at once.
inline const QString kDeadController = QStringLiteral("127.0.0.1:1");

class TransferEngine : public InstallerEngine {
 public:
  using InstallerEngine::InstallerEngine;
  // An entry as the readers leave it: registered with its pendant folder when
  // an installed version is given, offered by the medium when a package
  // version is given; both folders are named after the application.
  AppEntry *add(const QString &name, int operation, const QString &installed, const QString &package = {}) {
    const QString path = QStringLiteral("PP_APP\\%1\\%1.exe").arg(name);
    auto *entry = new AppEntry{operation, installed.isEmpty() ? 0 : 1, name, {}, {}, 0, 0};
    if (!installed.isEmpty()) entry->installed = {1, name, path, {}, installed, QStringLiteral("NS1"), 10, 1, {}, 0, {}};
    if (!package.isEmpty()) entry->package = {1, name, path, {}, package, QStringLiteral("NS2"), 20, 1, {}, 1, {}};
    AppendEntry(entry);
    return entry;
  }
};

struct Rig {
  Sandbox box;
  RecordingView view;
  TransferEngine engine{&view};
  Rig() {
    engine.MediaRoot() = QStringLiteral("\\Storage Card\\");
    box.mkdir(kMedium);
    InstallUnzipLibrary(box);
  }
  QList<int> alerts() const { return view.alertIds(); }
  QString detail(int index) const { return view.alerts.value(index).request.detail; }
};

class SharedController {
 public:
  ControllerSim sim;
  SharedController() { FtpSession::SetTimeouts(2000, 3000); }
  // Before every test: a server with nothing in it, well-behaved unless told.
  bool reset(const QStringList &faults = {}) {
    const bool up = sim.reset() && sim.setFaults(faults);
    FtpServerAddress() = sim.address();
    return up;
  }
};
