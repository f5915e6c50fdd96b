#pragma once
// What the settings window's online services are made with: the HTTP clients and the
// desktop opener. The default makes libcurl clients that share one cookie jar and opens
// nothing; the program's main gives the desktop's opener. Which servers are asked comes
// from the settings (online::Servers): none set, nothing is ever sent.
#include "online/CurlHttpClient.h"
#include "online/DesktopOpener.h"

#include <functional>
#include <memory>

struct OnlineServices {
    DesktopOpener *opener = nullptr;
    // Runs on a request's thread; null takes GetIPFromHost.
    std::function<bool()> networkCheck;
    CurlHttpClient::Limits limits;
    // What each service takes at most. The release file is one short line or two; a setup
    // program is big but not endless, and its download can take long on a slow line
    // (the user can cancel it); the board keeps what came up to its cap.
    qint64 maxReleaseFileBytes = 64 * 1024;
    qint64 maxSetupBytes = qint64(1) << 30;
    int setupDeadlineSeconds = 3600;
    qint64 maxBoardBytes = 1024 * 1024;
};
