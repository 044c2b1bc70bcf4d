// The update check: the request in the background at start, its answer, the
// update panel with its buttons, and "Check Update" through the browser.
#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QUrl>

#include "FrmMain.h"
#include "InterfaceTexts.h"
#include "UpdateCheck.h"
#include "UpdateThread.h"
#include "controls/FormScaling.h"
#include "controls/TButton2.h"

namespace {

// The update panel's surfaces: a move with the left button held drags the
// panel, and a release on its text that dragged nothing acts like OK.
class PanelInfoMouse : public QObject {
public:
    explicit PanelInfoMouse(TFormMain* form) : QObject(form->PanelInfo), form_(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::MouseButtonPress && e->type() != QEvent::MouseMove &&
            e->type() != QEvent::MouseButtonRelease)
            return false;
        const auto* me = static_cast<QMouseEvent*>(e);
        switch (e->type()) {
            case QEvent::MouseButtonPress:
                if (me->button() == Qt::LeftButton) form_->PanelInfoMoved = false;
                return true;
            case QEvent::MouseMove:
                form_->PanelInfoMouseMove(me->buttons(), me->globalPosition().toPoint());
                return true;
            default:  // the release
                if (me->button() != Qt::LeftButton) return true;
                form_->PanelInfoDragging = false;
                if (watched == form_->PanelInfoTitle && form_->PanelInfoTitleActsAsOK && !form_->PanelInfoMoved)
                    form_->ButtonInfoOKClick();
                return true;
        }
    }

private:
    TFormMain* form_;
};

}  // namespace

void TFormMain::CreateUpdatePanelButtons() {
    const int dpi = skin::ScreenDpi(this);
    auto button = [&](const char* name, TextId text, int left, int width, void (TFormMain::*onClick)()) {
        auto* b = new TButton2(PanelInfo);
        b->setObjectName(QString::fromLatin1(name));
        // The caption sizes the button; its place and size are set after it.
        b->SetCaption(Q(GetInterfaceText(text)));
        // Laid out for 96 pixels per inch like the rest of the window, 6 below the top of the button bar.
        b->setGeometry(left, 6, width, 24);
        skin::ScaleControl(b, dpi);
        b->move(b->x(), sPanel2->y() + b->y());
        connect(b, &QAbstractButton::clicked, this, [this, onClick] { (this->*onClick)(); });
        return b;
    };
    ButtonInfoOK = button("ButtonInfoOK", itext::Ok, 98, 75, &TFormMain::ButtonInfoOKClick);
    ButtonInfoCancel = button("ButtonInfoCancel", itext::RemindMeLater, 190, 118, &TFormMain::ButtonInfoCancelClick);

    auto* mouse = new PanelInfoMouse(this);
    for (QWidget* surface : {PanelInfo, static_cast<QWidget*>(PanelInfoTitle), static_cast<QWidget*>(sPanel2)})
        surface->installEventFilter(mouse);
    // Answers are text, never markup.
    PanelInfoTitle->setTextFormat(Qt::PlainText);
    Label3->setTextFormat(Qt::PlainText);
    connect(CheckUpdate1, &QAction::triggered, this, [this] { CheckUpdate1Click(); });
}

void TFormMain::CheckForUpdate(bool silent) {
    try {
        if (silent) {
            if (UpdateWorker) return;  // once a run, not again when the window comes back from the task bar
            // The worker lists and digests the program files itself, so the window shows at once.
            auto worker = std::make_shared<TUpdateThread>(TUpdateThread::Request{ProgramFolder, LanguageCode, SiteAddress});
            connect(worker.get(), &TUpdateThread::Answered, this,
                    [this](const QByteArray& body) { WMUpdateAnswer(std::string_view(body.constData(), body.size())); });
            UpdateWorker = std::move(worker);
            UpdateWorker->start();
        } else {
            const std::string query = UpdateQuery(UpdateMode::Browser, ProgramFileList(ProgramFolder), LanguageCode);
            QDesktopServices::openUrl(QUrl(Q(UpdateRequestAddress(SiteAddress, EncodeUpdateQuery(query)))));
        }
    } catch (...) {
        // The check is a courtesy: whatever goes wrong, the program goes on as if there were no answer.
    }
}

void TFormMain::CheckUpdate1Click() { CheckForUpdate(false); }

void TFormMain::WMUpdateAnswer(std::string_view answer) {
    if (Closed) return;  // an answer that comes after the close finds nothing to change
    try {
        const std::optional<UpdateAnswer> a = ParseUpdateAnswer(answer);
        if (!a) return;
        Label3->setText(Q(a->SiteCaption));
        Label3->adjustSize();
        Label3->setToolTip(Q(a->SiteTarget));
        if (a->NewVersion) {
            PanelInfoTitle->setText(Q(a->PanelText));
            PanelInfoTitle->setToolTip(Q(a->Download));
            PanelInfoTitleActsAsOK = true;
            PanelInfo->show();
            PanelInfo->raise();
        }
        if (a->Mandatory) {
            QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                            QStringLiteral("You Must Download New Version, Click Ok to Start."), QMessageBox::Ok, this);
            box.exec();
            CheckForUpdate(false);
            close();
        }
    } catch (...) {
    }
}

void TFormMain::ButtonInfoOKClick() {
    const QString target = PanelInfoTitle->toolTip();
    if (!target.isEmpty()) QDesktopServices::openUrl(QUrl(target));
    close();
}

void TFormMain::ButtonInfoCancelClick() { PanelInfo->hide(); }

void TFormMain::PanelInfoMouseMove(Qt::MouseButtons buttons, QPoint globalPos) {
    if (!(buttons & Qt::LeftButton)) {
        PanelInfoDragging = false;
        return;
    }
    if (!PanelInfoDragging) {
        PanelInfoDragging = true;
        PanelInfoGrab = globalPos;
        PanelInfoGrabPos = PanelInfo->pos();
        return;
    }
    // The panel moves with the mouse and stays whole inside the window.
    const QPoint to = PanelInfoGrabPos + (globalPos - PanelInfoGrab);
    const QPoint kept(std::clamp(to.x(), 0, std::max(0, width() - PanelInfo->width())),
                      std::clamp(to.y(), 0, std::max(0, height() - PanelInfo->height())));
    if (kept == PanelInfo->pos()) return;
    PanelInfo->move(kept);
    PanelInfoMoved = true;
}
