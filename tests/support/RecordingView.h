#pragma once
// A view for tests: records every status and alert in order, and the busy state, and
// answers two-button alerts from a script (default: the first button).
#include "app/InstallerView.h"

#include <QList>
#include <QStringList>

class RecordingView : public InstallerView {
 public:
  struct Status {
    int level;
    QString text;
  };
  struct Alert {
    AlertRequest request;
    int result;
  };

  void SetBusy(bool busy) override;
  void ShowStatus(int level, const QString &text) override;
  int ShowAlert(const AlertRequest &alert) override;

  // Answers for alerts that show two buttons, consumed in order.
  void answer(std::initializer_list<int> results) { m_answers.append(results); }

  QList<Status> statuses;
  QList<Alert> alerts;
  bool busy = false;
  // Everything in order of occurrence: "status L: text", "alert N: main | detail -> r".
  QStringList log;

  QList<int> alertIds() const;
  // Each alert as "<id> <detail>": what a failure decides, without the texts around.
  QStringList alertIdsAndDetails() const;
  QStringList statusTexts() const;
  bool hasStatus(const QString &text) const { return statusTexts().contains(text); }
  void clear();

 private:
  QList<int> m_answers;
};
