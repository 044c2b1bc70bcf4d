#include <csignal>

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include "FrmMain.h"
#include "FrmReport.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnTerminate(int) {
    char c = 1;
    [[maybe_unused]] auto n = ::write(signalPipe[1], &c, 1);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName("Velmora Slipferry");
    QApplication::setWindowIcon(QIcon());

    TFormMain form;
    TFormReport report(form);

    // A session that ends the program closes the window the ordinary way, so
    // the connector is shut down and the settings are saved.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &form);
        QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
            char c;
            [[maybe_unused]] auto n = ::read(signalPipe[0], &c, 1);
            form.close();
        });
        std::signal(SIGTERM, OnTerminate);
        std::signal(SIGINT, OnTerminate);
    }

    form.show();
    return QApplication::exec();
}
