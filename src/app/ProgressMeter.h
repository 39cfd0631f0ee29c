#pragma once
// Turns the byte counts of one file after another into the view's progress
// events for one stage: how far the file in hand and the stage have got,
// never going back, and not more often than a view can usefully paint.
#include "app/Reporter.h"

#include <QElapsedTimer>
#include <functional>

class ProgressMeter {
 public:
  // bytesTotal 0: the stage's size is not known, only its file count.
  ProgressMeter(Reporter &reporter, const QString &stage, int filesTotal, qint64 bytesTotal);

  // The next file, weighing `weight` bytes of the stage's total.
  void StartFile(const QString &file, qint64 weight = 0);
  // A file that goes through several steps (fetched, then unpacked): the
  // updates that follow are step `index` of `count` equal shares of its weight.
  void SetPart(int index, int count);
  // The file in hand has done `done` of `total` bytes (total 0: not known).
  void Update(qint64 done, qint64 total);
  void FinishFile();
  // Update, as the transfers and the extraction library call it.
  std::function<void(qint64, qint64)> Callback() {
    return [this](qint64 done, qint64 total) { Update(done, total); };
  }

  // The stage's bytes done: those of the files finished, and of the file in
  // hand its share of its weight; never more than the weight.
  static qint64 StageBytes(qint64 doneBefore, qint64 weight, qint64 done, qint64 total);

 private:
  void Show(bool always);

  Reporter &m_reporter;
  Progress m_now;
  qint64 m_doneBefore = 0;
  qint64 m_weight = 0;
  int m_part = 0;
  int m_parts = 1;
  bool m_inFile = false;
  QElapsedTimer m_sinceShown;
};
