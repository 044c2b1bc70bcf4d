// Pieces the window tests share.
#pragma once

#include <string>
#include <vector>

#include <QDesktopServices>
#include <QObject>
#include <QUrl>

#include "CommandText.h"
#include "WindowMessages.h"

// Every window test asks this address for updates: nothing listens on port 0,
// so the check is refused at once and no test reaches the outside world.
inline constexpr const char* kRefusedSite = "http://127.0.0.1:0/";

// Takes the addresses the windows hand to the desktop, so that no browser starts.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() {
        for (const char* scheme : {"http", "https", "file"}) QDesktopServices::setUrlHandler(scheme, this, "Open");
    }
    ~UrlCatcher() override {
        for (const char* scheme : {"http", "https", "file"}) QDesktopServices::unsetUrlHandler(scheme);
    }
    std::vector<std::string> urls;
public slots:
    void Open(const QUrl& url) { urls.push_back(url.toString().toStdString()); }
};

// Ends whatever connectors a test left, so the next test starts clean.
struct ConnectorSweep {
    ~ConnectorSweep() {
        while (wm::HWND c = wm::FindWindowA(px::ConnectorClass, px::ConnectorTitle))
            wm::SendMessageA(c, wm::WM_DESTROY, 1, 1);
    }
};
