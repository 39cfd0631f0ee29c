#include "ExtractionLibrary.h"

#include "platform/Device.h"

namespace {

// The library writes its report here. One area for the whole run, as the
// library's contract expects.
char g_unzipOutput[UnzipApi::kOutputSize];

}  // namespace

const QString ExtractionLibrary::kPath = QStringLiteral("\\DiskOnChip\\unzip.dll");

ExtractionLibrary::~ExtractionLibrary() {
  if (m_library.isLoaded()) m_library.unload();
}

Outcome ExtractionLibrary::Load() {
  const QString detail = QStringLiteral("error file :(%1)").arg(kPath);
  const auto host = Device::MapPath(kPath);
  if (!host || !Device::IsFile(kPath)) return Outcome::Failure(StatusLevel::Transfer, 3021, 2021, detail);
  m_library.setFileName(*host);
  if (!m_library.load()) return Outcome::Failure(StatusLevel::Transfer, 3021, 2021, detail);
  const auto getVersion = reinterpret_cast<UnZipGetVersionProc>(m_library.resolve(UnzipApi::kGetVersionSymbol));
  if (!getVersion) return Outcome::Failure(StatusLevel::Transfer, 3022, 2022, detail);
  getVersion();  // only its presence matters
  m_unzip = reinterpret_cast<UnZipProc>(m_library.resolve(UnzipApi::kUnZipSymbol));
  return m_unzip ? Outcome::Success() : Outcome::Silent();
}

bool ExtractionLibrary::Extract(const QString &command, QString *report, const Progress &progress) {
  g_unzipOutput[0] = '\0';
  // The library's window argument carries the progress sink.
  UnZipProgressSink sink{[](void *context, long long done, long long total) {
                           (*static_cast<const Progress *>(context))(done, total);
                         },
                         const_cast<Progress *>(&progress)};
  const int result = m_unzip(progress ? &sink : nullptr, reinterpret_cast<const char16_t *>(command.utf16()),
                             g_unzipOutput, UnzipApi::kOutputSize);
  *report = QString::fromUtf8(g_unzipOutput);
  return result == UnzipApi::kSuccess;
}

QString ExtractionLibrary::Command(const QString &archive, const QString &folder, const QString &name) {
  return QStringLiteral("efq \"%1\" %2\\%3\\").arg(archive, folder, name);
}
