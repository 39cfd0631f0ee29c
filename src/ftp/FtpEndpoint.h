#pragma once
// Where the controller's FTP server is and how long to wait for it: handed to
// every session, so that nothing about the controller is process-wide.
#include <QString>

struct FtpTimeouts {
  int connectMs = 5000;  // TCP connect and login
  int stallMs = 10000;   // no byte moved, or no reply on the control connection
};

struct FtpEndpoint {
  QString address;  // "host", "host:port" or "[v6]:port"; port 21 by default
  QString user;
  QString password;
  // A controller that vanishes must not hang the pendant: connecting and
  // logging in give up after connectMs, a transfer with no byte moved or a
  // command without reply after stallMs (counted in whole seconds, at least
  // one).
  FtpTimeouts timeouts;
};
