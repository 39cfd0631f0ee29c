#pragma once
// The model side of the "Option" command: which applications may start
// automatically or sit on the one-touch button, and how a choice becomes the
// entries' marks. The Qt option dialog and pp-install both use it.
#include <QList>
#include <QPair>
#include <QString>

class InstallerEngine;

struct OptionCandidates {
  // In the order they are offered, each with its select index (non-zero for
  // the one that holds the mark; the last non-zero one is preselected). The
  // empty name, meaning no application, comes first.
  QList<QPair<QString, int>> autoRun;
  QList<QPair<QString, int>> oneTouch;
};

OptionCandidates CollectOptionCandidates(const InstallerEngine &engine);

// Clears every auto-run and one-touch mark, then sets them on the chosen
// entries (the one-touch choice only when its names pass the length check or
// the operator accepts). True when an entry received a mark, which is what
// makes the next "Execute" write the menu file.
bool ApplyOptionChoice(InstallerEngine &engine, const QString &autoRunName, const QString &oneTouchName);
