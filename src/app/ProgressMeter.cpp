#include "ProgressMeter.h"

#include <algorithm>

namespace {

// Often enough for a filling bar, rarely enough that a fast extraction does
// not spend its time painting or printing.
constexpr qint64 kShowEveryMs = 40;

}  // namespace

ProgressMeter::ProgressMeter(Reporter &reporter, const QString &stage, int filesTotal, qint64 bytesTotal)
    : m_reporter(reporter) {
  m_now.stage = stage;
  m_now.filesTotal = filesTotal;
  m_now.bytesTotal = std::max<qint64>(bytesTotal, 0);
}

qint64 ProgressMeter::StageBytes(qint64 doneBefore, qint64 weight, qint64 done, qint64 total) {
  if (weight <= 0 || done <= 0) return doneBefore;
  const qint64 share = total > 0 ? qint64(double(weight) * double(std::min(done, total)) / double(total))
                                 : std::min(done, weight);
  return doneBefore + std::min(share, weight);
}

void ProgressMeter::StartFile(const QString &file, qint64 weight) {
  if (m_inFile) FinishFile();
  m_inFile = true;
  m_now.file = file;
  m_now.fileDone = 0;
  m_now.fileTotal = 0;
  m_weight = std::max<qint64>(weight, 0);
  m_part = 0;
  m_parts = 1;
  Show(true);
}

void ProgressMeter::SetPart(int index, int count) {
  m_parts = std::max(count, 1);
  m_part = std::clamp(index, 0, m_parts - 1);
  m_now.fileDone = 0;
  m_now.fileTotal = 0;
}

void ProgressMeter::Update(qint64 done, qint64 total) {
  if (!m_inFile) return;
  m_now.fileDone = std::max(m_now.fileDone, done);
  m_now.fileTotal = std::max<qint64>(total, 0);
  const qint64 share = m_weight / m_parts;
  const qint64 before = m_doneBefore + share * m_part;
  if (m_now.bytesTotal > 0) m_now.bytesDone = std::max(m_now.bytesDone, StageBytes(before, share, done, total));
  Show(false);
}

void ProgressMeter::FinishFile() {
  if (!m_inFile) return;
  m_inFile = false;
  m_doneBefore += m_weight;
  ++m_now.filesDone;
  if (m_now.fileTotal > 0) m_now.fileDone = m_now.fileTotal;
  if (m_now.bytesTotal > 0) m_now.bytesDone = std::max(m_now.bytesDone, std::min(m_doneBefore, m_now.bytesTotal));
  Show(true);
}

void ProgressMeter::Show(bool always) {
  if (!always && m_sinceShown.isValid() && !m_sinceShown.hasExpired(kShowEveryMs)) return;
  m_sinceShown.start();
  m_reporter.ShowProgress(m_now);
}
