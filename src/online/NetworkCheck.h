#pragma once
// The cheap test that networking is there before the update check and the board poll:
// the machine's own host name, then its address. A lookup can take a while: not on the
// GUI thread.
#include <QString>

// On success host and address are filled; on failure error says why.
bool GetIPFromHost(QString &host, QString &address, QString &error);
