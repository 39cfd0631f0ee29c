#pragma once
// What went wrong in a component, handed up to the engine, which alone
// reports it to the operator and decides what the failure leads to. A
// component proposes the status line (a catalogue text by id, or a text of
// its own), the alert and its detail line; the engine may show it at another
// level or not at all.
#include <QString>

// Levels of the status line: the colours it is shown in, and how a script
// reading pp-install's output tells errors from progress.
enum class StatusLevel : int {
  Error = 0,     // red on dark blue
  Warning = 1,   // yellow on dark blue
  Transfer = 2,  // green on dark blue: transfer and file messages
  Info = 3,      // black on grey
};

struct [[nodiscard]] Outcome {
  bool ok = true;
  StatusLevel level = StatusLevel::Transfer;
  int statusId = 0;    // a status text of the catalogue, or 0 ...
  QString statusText;  // ... and then this text, when not empty
  int alertId = 0;     // 0: no alert
  QString detail;      // the alert's second line
  QString reason;      // the technician's words: a library's refusal, a server's reply

  Outcome Because(const QString &why) const {
    Outcome copy = *this;
    copy.reason = why;
    return copy;
  }

  static Outcome Success() { return {}; }
  static Outcome Failure(StatusLevel level, int statusId, int alertId, const QString &detail) {
    return {false, level, statusId, {}, alertId, detail, {}};
  }
  static Outcome Failure(StatusLevel level, const QString &statusText, int alertId, const QString &detail) {
    return {false, level, 0, statusText, alertId, detail, {}};
  }
  // A failure that the component has nothing to say about.
  static Outcome Silent() { return {false, StatusLevel::Transfer, 0, {}, 0, {}, {}}; }

  explicit operator bool() const { return ok; }
  // The same failure, shown at another level.
  Outcome At(StatusLevel shown) const {
    Outcome copy = *this;
    copy.level = shown;
    return copy;
  }
};
