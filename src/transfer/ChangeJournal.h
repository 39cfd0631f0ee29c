#pragma once
// The record of a change to the applications, kept on the pendant's flash
// disk beside (never inside) the application folder while the change runs.
// It is written, flushed, before the first file changes on either side and
// removed when both sides hold the result, so that a start finding it knows
// what was half done and finishes it. Its work folder also holds the
// application folders being unpacked for the change.
//
//   <work>\JOURNAL     the plan below, then the menu file it leads to
//   <work>\PP_APP\...  unpacked folders waiting to be swapped in
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace ChangeJournal {

struct Removal {
  QString name;    // the archive <name>.ZIP goes from the controller
  QString folder;  // its folder goes from the pendant (empty: none of its own)
  bool controllerDone = false;
};
struct Archive {
  QString name;  // <name>.ZIP, sent from the medium
  qint64 size = 0;
  quint32 crc = 0;
};
struct Plan {
  QList<Removal> removals;
  QStringList swaps;    // folders unpacked under <work>\PP_APP that replace the pendant's
  QStringList retired;  // folders of updated applications whose new version lives elsewhere
  QList<Archive> sends;
  bool emptied = false;  // nothing stays registered: both application folders go
  QByteArray menu;       // the menu file as both sides will hold it (none when emptied)
};

// "<work>\<name>" and the folder applications are unpacked into.
QString PathIn(const QString &workFolder, const QString &name);
QString StagingFolder(const QString &workFolder);

// Replaces the journal atomically; false when it could not be written whole.
bool Write(const QString &workFolder, const Plan &plan);
// The journal, or nullopt when there is none (or none that can be read:
// a journal is written whole or not at all, so that means none was).
std::optional<Plan> Read(const QString &workFolder);
// The work folder and everything in it.
bool Discard(const QString &workFolder);
// A fresh work folder with an empty staging folder in it.
bool OpenStaging(const QString &workFolder);

// Size and CRC-32 of a file on the device; nullopt when it cannot be read.
std::optional<Archive> Measure(const QString &cePath, const QString &name);

}  // namespace ChangeJournal
