#pragma once
// The platform half of the update: fetching the updater file and starting
// it elevated (net/posix, net/win32).
#include "net/NetDetail.h"

class NetInterface;

// Fetches http://<host>/updates/vorl_update.exe into a temporary file beside
// `path` and moves it into place only once it is complete, so a failed or cut
// download never replaces a good file. True when `path` holds the new file.
bool DownloadUpdater(NetInterface* net, const net::HostAndPort& host, const char16_t* path);

// Starts `path` with a request for administrator rights; true when started.
bool StartElevated(const char16_t* path);
