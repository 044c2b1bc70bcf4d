#include "UpdateThread.h"

#include <memory>

#include <QEventLoop>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include "UpdateCheck.h"

TUpdateThread::TUpdateThread(Request request) : request_(std::move(request)) {}

TUpdateThread::~TUpdateThread() {
    Stop();
    wait();
}

void TUpdateThread::Stop() {
    requestInterruption();
    QMutexLocker lock(&mutex_);
    stopped_ = true;
    // Posted into the worker's queue: it is carried out even if the loop has not started yet.
    if (loop_) QMetaObject::invokeMethod(loop_, &QEventLoop::quit, Qt::QueuedConnection);
}

void TUpdateThread::run() {
    const auto stop = [this] { return isInterruptionRequested(); };
    const std::string list = ProgramFileList(request_.ProgramFolder, stop);
    const std::string address = UpdateRequestAddress(
        request_.SiteAddress, EncodeUpdateQuery(UpdateQuery(UpdateMode::Background, list, request_.LanguageCode)));

    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(QString::fromStdString(address)));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxUpdateRedirects);
    QEventLoop loop;
    {
        QMutexLocker lock(&mutex_);
        if (stopped_) return;
        loop_ = &loop;
    }
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));
    bool usable = true;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        if (static_cast<std::size_t>(reply->bytesAvailable()) > MaxUpdateAnswerSize) {
            usable = false;
            reply->abort();
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(UpdateTimeoutMs, Qt::PreciseTimer, &loop, [&] {
        usable = false;
        reply->abort();
    });
    if (!reply->isFinished()) loop.exec();

    QMutexLocker lock(&mutex_);
    loop_ = nullptr;
    if (stopped_ || !usable || !reply->isFinished() || reply->error() != QNetworkReply::NoError) return;
    const QByteArray body = reply->readAll();
    if (body.isEmpty() || static_cast<std::size_t>(body.size()) > MaxUpdateAnswerSize) return;
    // Under the lock, so that nothing is handed over once Stop has returned.
    emit Answered(body);
}
