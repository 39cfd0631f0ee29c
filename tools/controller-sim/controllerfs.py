"""The controller's file system as its FTP server shows it.

One host folder holds everything. "\\" and "/" both separate path
components, names are found whatever their letter case and keep the case
they were created with, and no path leaves the root (".." stops at the top,
links are never followed out of it).
"""

import os

from pyftpdlib.filesystems import AbstractedFS


class ControllerFS(AbstractedFS):
    def ftpnorm(self, ftppath):
        return super().ftpnorm(ftppath.replace('\\', '/'))

    def ftp2fs(self, ftppath):
        host = self.root
        for part in self.ftpnorm(ftppath).split('/'):
            if not part:
                continue
            host = os.path.join(host, self._match(host, part))
        return os.path.normpath(host)

    @staticmethod
    def _match(folder, name):
        """The entry of folder that name means, exact case first; name itself
        when there is none (it is about to be created)."""
        try:
            entries = os.listdir(folder)
        except OSError:
            return name
        if name in entries:
            return name
        folded = name.casefold()
        for entry in sorted(entries):
            if entry.casefold() == folded:
                return entry
        return name
