// The update check as the window does it: the request as a stand-in service
// on 127.0.0.1 receives it, what each answer changes, the update panel, and a
// start and close without any service.
#include <cstdlib>
#include <memory>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <gtest/gtest.h>

#include "FrmMain.h"
#include "GuiSupport.h"
#include "LogClass.h"
#include "Settings.h"
#include "TestSupport.h"
#include "UpdateCheck.h"
#include "UpdateQueryDecode.h"
#include "UpdateThread.h"
#include "controls/TButton2.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 10000) { return QTest::qWaitFor(done, ms); }

std::string Text(const QString& s) { return s.toStdString(); }

// The update service: records the target of every request and answers each
// alike, or keeps the answers back until Release().
class UpdateServer {
public:
    struct Reply {
        std::string status = "200 OK";
        std::string body;
        int redirects = 0;  // the first ones are sent on to another path first
    };
    explicit UpdateServer(Reply reply, bool hold = false) : reply_(std::move(reply)), hold_(hold) {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) Serve(s);
        });
    }
    std::string Site() const { return "http://127.0.0.1:" + std::to_string(server_.serverPort()) + "/"; }
    void Release(std::string body) {
        hold_ = false;
        reply_.body = std::move(body);
        for (QTcpSocket* s : held_) Answer(s);
        held_.clear();
    }
    std::vector<std::string> targets;

private:
    void Serve(QTcpSocket* s) {
        auto request = std::make_shared<QByteArray>();
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, request] {
            request->append(s->readAll());
            if (!request->contains("\r\n\r\n")) return;
            targets.push_back(request->left(request->indexOf("\r\n")).split(' ').value(1).toStdString());
            request->clear();
            if (hold_) held_.push_back(s);
            else Answer(s);
        });
    }
    void Answer(QTcpSocket* s) {
        const bool redirect = static_cast<int>(targets.size()) <= reply_.redirects;
        const std::string body = redirect ? std::string() : reply_.body;
        std::string head = "HTTP/1.1 " + (redirect ? std::string("302 Found") : reply_.status) + "\r\n";
        if (redirect) head += "Location: " + Site() + "next" + std::to_string(targets.size()) + "\r\n";
        head += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
        s->write(QByteArray::fromStdString(head + body));
        s->disconnectFromHost();
    }

    QTcpServer server_;
    Reply reply_;
    bool hold_;
    std::vector<QTcpSocket*> held_;
};

// The windows made while it lives ask `site` for updates.
struct SiteAt {
    explicit SiteAt(const std::string& site) { ::setenv("PIXFERRY_SITE_ADDRESS", site.c_str(), 1); }
    ~SiteAt() { ::setenv("PIXFERRY_SITE_ADDRESS", kRefusedSite, 1); }
};

// Closes every message box as the user would, and keeps its caption, text and buttons.
struct BoxCloser {
    struct Box {
        std::string caption, text;
        int buttons;
    };
    std::vector<Box> boxes;
    QTimer timer;
    BoxCloser() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            boxes.push_back({Text(box->windowTitle()), Text(box->text()), static_cast<int>(box->buttons().size())});
            if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
            else box->reject();
        });
        timer.start(20);
    }
};

// Until the window's check has ended and its answer, if any, has been handled.
bool CheckEnded(TFormMain& form) {
    const bool ended = WaitFor([&] { return form.UpdateWorker && form.UpdateWorker->isFinished(); });
    QCoreApplication::sendPostedEvents();
    return ended;
}

// A request target "/update.php??=HEX": one parameter named "?" whose value decodes to `query`.
void ExpectRequest(const std::string& target, const std::string& query) {
    SCOPED_TRACE(target);
    const std::size_t mark = target.find('?');
    ASSERT_NE(mark, std::string::npos);
    EXPECT_EQ(target.substr(0, mark), "/update.php");
    const auto items = QUrlQuery(QString::fromStdString(target.substr(mark + 1))).queryItems(QUrl::FullyDecoded);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(Text(items[0].first), "?");
    EXPECT_EQ(DecodeUpdateQuery(Text(items[0].second)), query);
}

const std::string kPanelAnswer = "1\n0\nNew site\nhttp://s.example/page\nA new version\nhttp://d.example/new.tgz\n";

}  // namespace

TEST(UpdateCheck, TheServiceReceivesTheQueryBuilt) {
    ConnectorSweep sweep;
    UrlCatcher urls;
    const std::pair<const char*, const char*> languages[] = {{"", "en"}, {"\"LA\"=\"de\"\n", "de"}};
    for (auto [values, language] : languages) {
        SCOPED_TRACE(language);
        pxtest::WriteFile(UserRegistryPath(),
                          "Windows Registry Editor Version 5.00\n\n[" + std::string(SettingsKey) + "]\n" + values);
        UpdateServer server({"200 OK", "0\n0\n"});  // too short to change anything
        SiteAt site(server.Site());
        TFormMain form;
        form.show();
        ASSERT_TRUE(CheckEnded(form));
        const std::string files = ProgramFileList(form.ProgramFolder);
        EXPECT_NE(files.find("pixferry*"), std::string::npos);  // the program itself
        ASSERT_EQ(server.targets.size(), 1u);
        ExpectRequest(server.targets[0], UpdateQuery(UpdateMode::Background, files, language));

        // "Check Update" asks the same through the browser.
        form.CheckUpdate1->trigger();
        ASSERT_EQ(urls.urls.size(), 1u);
        ASSERT_TRUE(urls.urls[0].starts_with(server.Site()));
        ExpectRequest(urls.urls[0].substr(server.Site().size() - 1), UpdateQuery(UpdateMode::Browser, files, language));
        EXPECT_EQ(server.targets.size(), 1u);
        urls.urls.clear();
        form.close();
    }
    std::filesystem::remove(UserRegistryPath());
}

TEST(UpdateCheck, WhatEachAnswerChanges) {
    ConnectorSweep sweep;
    UrlCatcher urls;
    BoxCloser boxes;
    const std::string fill(MaxUpdateAnswerSize - kPanelAnswer.size(), 'x');  // a seventh line, ignored
    struct Case {
        const char* name;
        UpdateServer::Reply reply;
        const char* caption;  // of the site label; nullptr: unchanged
        const char* opens;    // what a click on the site label opens; nullptr: nothing
        const char* panel;    // the update panel's text; nullptr: hidden
        bool mandatory = false;
    } cases[] = {
        {"label only", {"200 OK", "0\r\n0\r\nNew site\r\nhttp://s.example/page\r\nText\r\nhttp://d.example/\r\n"},
         "New site", "http://s.example/page", nullptr},
        {"a new version", {"200 OK", kPanelAnswer}, "New site", "http://s.example/page", "A new version"},
        {"a mandatory one", {"200 OK", "0\n1\nNew site\nhttp://s.example/page\nText\nhttp://d.example/\n"}, "New site",
         nullptr, nullptr, true},
        {"five lines", {"200 OK", "1\n1\nNew site\nhttp://s.example/\nText\n"}, nullptr, nullptr, nullptr},
        {"empty", {"200 OK", ""}, nullptr, nullptr, nullptr},
        {"markup stays text", {"200 OK", "1\n0\n<b>Site</b>\nhttp://s.example/\n<img src=\"/x\">\nhttp://d.example/\n"},
         "<b>Site</b>", "http://s.example/", "<img src=\"/x\">"},
        {"no web addresses", {"200 OK", "1\n0\nSite\nfile:///etc/passwd\nText\njavascript:alert(1)\n"}, "Site",
         nullptr, "Text"},
        {"an error status", {"404 Not Found", kPanelAnswer}, nullptr, nullptr, nullptr},
        {"64 KB", {"200 OK", kPanelAnswer + fill}, "New site", "http://s.example/page", "A new version"},
        {"more than 64 KB", {"200 OK", kPanelAnswer + fill + "x"}, nullptr, nullptr, nullptr},
        {"after two redirects", {"200 OK", kPanelAnswer, 2}, "New site", "http://s.example/page", "A new version"},
        {"redirects without end", {"200 OK", kPanelAnswer, 1000}, nullptr, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateServer server(c.reply);
        SiteAt site(server.Site());
        urls.urls.clear();
        boxes.boxes.clear();
        TFormMain form;
        form.show();
        ASSERT_TRUE(CheckEnded(form));
        // The first request and the redirects allowed, each at most twice: the client sends a
        // request again when the service's close of the connection came in its way.
        EXPECT_LE(server.targets.size(), 2u * (1 + MaxUpdateRedirects));
        EXPECT_EQ(Text(form.Label3->text()), c.caption ? c.caption : server.Site());
        EXPECT_GE(form.Label3->width(), form.Label3->sizeHint().width());
        EXPECT_EQ(!form.PanelInfo->isHidden(), c.panel != nullptr);
        if (c.panel) {
            EXPECT_EQ(Text(form.PanelInfoTitle->text()), c.panel);
        }
        if (c.mandatory) {
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(boxes.boxes[0].caption, Text(QApplication::applicationDisplayName()));
            EXPECT_EQ(boxes.boxes[0].text, "You Must Download New Version, Click Ok to Start.");
            EXPECT_EQ(boxes.boxes[0].buttons, 1);
            ASSERT_EQ(urls.urls.size(), 1u);
            ExpectRequest(urls.urls[0].substr(server.Site().size() - 1),
                          UpdateQuery(UpdateMode::Browser, ProgramFileList(form.ProgramFolder), "en"));
            EXPECT_FALSE(form.isVisible());
            continue;
        }
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_TRUE(urls.urls.empty());
        EXPECT_TRUE(form.isVisible());
        QTest::mouseClick(form.Label3, Qt::LeftButton);
        EXPECT_EQ(urls.urls, c.opens ? std::vector<std::string>{c.opens} : std::vector<std::string>{});
        form.close();
    }
}

TEST(UpdateCheck, ThePanelsButtonsAndText) {
    ConnectorSweep sweep;
    UrlCatcher urls;
    struct Case {
        const char* name;
        bool answered;  // else the panel is only made visible
        QWidget* (*target)(TFormMain&);
        bool opensAndCloses;
        bool hides;
    } cases[] = {
        {"OK", true, [](TFormMain& f) -> QWidget* { return f.ButtonInfoOK; }, true, false},
        {"Remind Me Later", true, [](TFormMain& f) -> QWidget* { return f.ButtonInfoCancel; }, false, true},
        {"the text", true, [](TFormMain& f) -> QWidget* { return f.PanelInfoTitle; }, true, false},
        {"the text of a panel no answer showed", false, [](TFormMain& f) -> QWidget* { return f.PanelInfoTitle; },
         false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        urls.urls.clear();
        TFormMain form;
        form.show();
        ASSERT_TRUE(CheckEnded(form));
        if (c.answered) form.WMUpdateAnswer(kPanelAnswer);
        else form.PanelInfo->show();
        ASSERT_TRUE(form.PanelInfo->isVisible());
        QTest::mouseClick(c.target(form), Qt::LeftButton);
        EXPECT_EQ(urls.urls, c.opensAndCloses ? std::vector<std::string>{"http://d.example/new.tgz"}
                                              : std::vector<std::string>{});
        EXPECT_EQ(form.isVisible(), !c.opensAndCloses);
        EXPECT_EQ(form.PanelInfo->isHidden(), c.hides);
        form.close();
    }
}

TEST(UpdateCheck, ThePanelDragsInsideTheWindow) {
    ConnectorSweep sweep;
    UrlCatcher urls;
    TFormMain form;
    form.show();
    ASSERT_TRUE(CheckEnded(form));
    form.WMUpdateAnswer(kPanelAnswer);
    // A press at `from` on the surface, moves to `to` with the given buttons, a release there.
    auto drag = [&](QWidget* surface, QPoint from, QPoint by, Qt::MouseButtons held) {
        const QPoint start = surface->mapToGlobal(from);
        auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButton button, Qt::MouseButtons buttons) {
            QMouseEvent e(type, surface->mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
            QApplication::sendEvent(surface, &e);
        };
        send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        for (QPoint at : {start, start + by / 2, start + by}) send(QEvent::MouseMove, at, Qt::NoButton, held);
        send(QEvent::MouseButtonRelease, start + by, Qt::LeftButton, Qt::NoButton);
    };
    const QPoint origin = form.PanelInfo->pos();
    const QPoint farthest(form.width() - form.PanelInfo->width(), form.height() - form.PanelInfo->height());
    struct Case {
        const char* name;
        QWidget* surface;
        QPoint by;
        Qt::MouseButtons held;
        QPoint at;
    } cases[] = {
        {"by its button bar", form.sPanel2, {30, 20}, Qt::LeftButton, origin + QPoint(30, 20)},
        {"by its text, not past the window's corner", form.PanelInfoTitle, {2000, 2000}, Qt::LeftButton, farthest},
        {"by its own surface, back to the other corner", form.PanelInfo, {-3000, -3000}, Qt::LeftButton, {0, 0}},
        {"not with the right button", form.PanelInfo, {50, 50}, Qt::RightButton, {0, 0}},
        {"not by a button", form.ButtonInfoCancel, {50, 50}, Qt::LeftButton, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        drag(c.surface, {5, 5}, c.by, c.held);
        EXPECT_EQ(form.PanelInfo->pos(), c.at);
    }
    // A drag that began on the text is no click on it.
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(urls.urls.empty());
    form.close();
}

TEST(UpdateCheck, WithoutAServiceNothingShowsAndNothingWaits) {
    ConnectorSweep sweep;
    UrlCatcher urls;
    BoxCloser boxes;
    const std::string log = pxtest::BinDir() + std::string(AccessLogFile);
    const std::string logBefore = pxtest::ReadFile(log);
    struct Case {
        const char* name;
        bool silentService;  // else the address is refused
        bool answerAfterClose;
    } cases[] = {
        {"address refused", false, false},
        {"a service that never answers", true, false},
        {"an answer after the window closed", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateServer server({}, true);
        SiteAt site(c.silentService ? server.Site() : std::string(kRefusedSite));
        auto form = std::make_unique<TFormMain>();
        QElapsedTimer clock;
        clock.start();
        form->show();
        EXPECT_LT(clock.elapsed(), 1000);
        if (c.silentService) ASSERT_TRUE(WaitFor([&] { return server.targets.size() == 1; }));
        else ASSERT_TRUE(CheckEnded(*form));
        const std::string caption = Text(form->Label3->text());

        clock.restart();
        form->close();
        EXPECT_LT(clock.elapsed(), 2000);
        if (c.answerAfterClose) {
            server.Release("0\n1\nLate site\nhttp://s.example/\nLate\nhttp://d.example/\n");
            ASSERT_TRUE(CheckEnded(*form));
        }
        EXPECT_EQ(Text(form->Label3->text()), caption);
        EXPECT_TRUE(form->PanelInfo->isHidden());
        clock.restart();
        form.reset();
        EXPECT_LT(clock.elapsed(), 2000);
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_TRUE(urls.urls.empty());
    }
    EXPECT_EQ(pxtest::ReadFile(log), logBefore);
}

TEST(UpdateCheck, ARequestWithoutAnswerEndsAfterFifteenSeconds) {
    ConnectorSweep sweep;
    UpdateServer server({}, true);
    SiteAt site(server.Site());
    TFormMain form;
    QElapsedTimer clock;
    clock.start();
    form.show();
    ASSERT_TRUE(WaitFor([&] { return server.targets.size() == 1; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.UpdateWorker->isFinished(); }, UpdateTimeoutMs + 5000));
    EXPECT_GE(clock.elapsed(), UpdateTimeoutMs);
    server.Release(kPanelAnswer);  // too late
    QTest::qWait(200);
    EXPECT_TRUE(form.PanelInfo->isHidden());
    form.close();
}

// For people to look at: the panel as an answer with a long text shows it, twice as large.
TEST(UpdatePictures, ThePanelIsRendered) {
    ConnectorSweep sweep;
    TFormMain form;
    form.show();
    ASSERT_TRUE(CheckEnded(form));
    form.WMUpdateAnswer("1\n0\nSite\nhttp://s.example/\nVersion 2.0 is out: faster copies, albums in their own "
                        "folders and a new look. Download it now?\nhttp://d.example/\n");
    const std::string dir = pxtest::BinDir() + "../tests/gui-output/";
    std::filesystem::create_directories(dir);
    const QImage panel = form.PanelInfo->grab().toImage();
    EXPECT_TRUE(panel.scaled(panel.size() * 2).save(QString::fromStdString(dir + "update-panel-2x.png")));
    form.close();
}
