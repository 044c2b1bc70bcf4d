// pxshot FILE.png: saves the whole screen of the current display.
#include <cstdio>

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pxshot FILE.png\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "pxshot: cannot grab the screen\n");
        return 1;
    }
    return 0;
}
