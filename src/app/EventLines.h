#pragma once
// Every event of a run as one line of text: what pp-install prints and what
// the session log keeps. A line feed inside a text is written as the two
// characters \n, so that one event is always one line.
#include "app/Reporter.h"

namespace EventLines {

QString OneLine(const QString &text);
QString Status(StatusLevel level, const QString &text);
QString Alert(const AlertRequest &alert, int answer);
QString ProgressLine(const Progress &progress);
QString Summary(const RunSummary &summary);
QString Detail(const QString &text);

}  // namespace EventLines
