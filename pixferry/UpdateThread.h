// The worker that asks the update service in the background: it lists the
// program files, sends one GET and hands a usable answer over by a signal.
#pragma once

#include <string>

#include <QByteArray>
#include <QMutex>
#include <QThread>

class QEventLoop;

class TUpdateThread : public QThread {
    Q_OBJECT

public:
    // Copies of what the window knows; nothing else is shared with it.
    struct Request {
        std::string ProgramFolder;
        std::string LanguageCode;
        std::string SiteAddress;
    };
    explicit TUpdateThread(Request request);
    // Stops the request and waits for the thread, which then ends at once.
    ~TUpdateThread() override;

    // Ends the request from any thread; no answer is handed over after it.
    void Stop();

signals:
    // From the worker thread: a non-empty body of at most MaxUpdateAnswerSize bytes.
    void Answered(const QByteArray& body);

protected:
    void run() override;

private:
    const Request request_;
    QMutex mutex_;
    QEventLoop* loop_ = nullptr;  // while the request runs
    bool stopped_ = false;
};
