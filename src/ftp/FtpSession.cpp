// Placeholder until the libcurl session lands: never connects.
#include "FtpSession.h"

#include "app/InstallerApp.h"
#include "app/StringTable.h"

struct FtpSession::Connection {};

FtpSession::FtpSession() : m_strUser(LoadString(4006)), m_strPassword(LoadString(4007)) {
  if (FtpServerAddress().isEmpty()) FtpServerAddress() = LoadString(4005);
}
FtpSession::~FtpSession() { Close(); }
bool FtpSession::Open() { return false; }
void FtpSession::Close() { m_connection.reset(); }
bool FtpSession::IsOpen() const { return m_connection != nullptr; }
bool FtpSession::PutFile(const QString &, const QString &, const QString &, int) { return false; }
bool FtpSession::GetFile(const QString &, const QString &, const QString &) { return false; }
bool FtpSession::CreateFolder(const QString &) { return false; }
bool FtpSession::Exists(const QString &) { return false; }
bool FtpSession::RemoveFile(const QString &, const QString &) { return false; }
bool FtpSession::ClearFolder(const QString &) { return false; }
bool FtpSession::RemoveFolder(const QString &) { return false; }
void FtpSession::SetTimeouts(int, int) {}
