#pragma once
// The engine reaches the operator only through this interface. Two views
// exist: the Qt main dialog and the headless front end; tests bring a third
// that records what it is shown and answers questions from a script.
#include <QString>

struct AlertRequest {
  int messageId = 0;
  QString message;  // main text from the string table
  QString detail;   // second line
  bool okEnabled = true;
  bool showCancel = false;  // two buttons
  bool yesNo = false;       // "YES"/"NO" captions instead of "OK"/"Cancel"
};

class InstallerView {
 public:
  virtual ~InstallerView() = default;
  virtual void SetBusy(bool busy) = 0;
  virtual void ShowStatus(int level, const QString &text) = 0;
  // 1 for the first button, 0 for the second, 2 for Escape, -1 when the
  // alert could not be shown.
  virtual int ShowAlert(const AlertRequest &alert) = 0;
};

// The process-wide reference to the main view, set when the engine is
// created and cleared when the main dialog goes away.
InstallerView *MainView();
void SetMainView(InstallerView *view);
