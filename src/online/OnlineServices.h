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
};
