// The controls of the main window at their places, and the chrome handlers.
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>

#include "FrmMain.h"

namespace {

// Turns a left-button press on a widget into a call.
class ClickFilter : public QObject {
public:
    ClickFilter(QObject* parent, std::function<void()> onClick) : QObject(parent), onClick_(std::move(onClick)) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
            onClick_();
            return true;
        }
        return false;
    }

private:
    std::function<void()> onClick_;
};

template <class T>
T* Place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* w = new T(parent);
    w->setObjectName(name);
    w->setGeometry(left, top, width, height);
    return w;
}

QAction* Item(QMenu* menu, const char* name, bool enabled = true) {
    QAction* a = menu->addAction(QString());
    a->setObjectName(name);
    a->setEnabled(enabled);
    return a;
}

}  // namespace

void TFormMain::CreateControls() {
    setObjectName("FormMain");
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(706, 475);
    setStyleSheet(
        "TFormMain, QWidget#FormMain { background: rgb(41,43,55); }"
        "QWidget { font-family: 'Liberation Sans'; font-size: 11px; }"
        "QWidget#Panel2, QScrollArea#ImagesBox, QScrollArea#ImagesBox > QWidget > QWidget { background: rgb(219,219,229); }"
        "QGroupBox { color: grey; border: 1px solid grey; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"
        "QListWidget#AlbumsListBox, QLineEdit#Path { background: rgb(218,225,234); border: 1px solid rgb(141,141,141); }"
        "QLineEdit#Path { color: rgb(65,67,64); }");
    setAttribute(Qt::WA_StyledBackground);

    Label2 = Place<QLabel>(this, "Label2", 10, 16, 120, 16);
    Label2->setStyleSheet("color: yellow; font-weight: bold; font-size: 12px;");
    Notifier = Place<QLabel>(this, "Notifier", 237, 4, 256, 20);
    Notifier->setAlignment(Qt::AlignCenter);
    Notifier->setStyleSheet("color: rgb(245,255,91); font-weight: bold;");

    XP_ButtonSmall1 = Place<QPushButton>(this, "XP_ButtonSmall1", 616, 10, 18, 18);
    XP_ButtonSmall1->setText("_");
    XP_ButtonSmall2 = Place<QPushButton>(this, "XP_ButtonSmall2", 640, 10, 18, 18);
    XP_ButtonSmall2->setText("?");
    XP_ButtonSmall3 = Place<QPushButton>(this, "XP_ButtonSmall3", 664, 10, 18, 18);
    XP_ButtonSmall3->setText("x");
    connect(XP_ButtonSmall1, &QPushButton::clicked, this, [this] { XP_ButtonSmall1Click(); });
    connect(XP_ButtonSmall2, &QPushButton::clicked, this, [this] { XP_ButtonSmall2Click(); });
    connect(XP_ButtonSmall3, &QPushButton::clicked, this, [this] { XP_ButtonSmall3Click(); });

    PanelSelect = Place<QPushButton>(this, "PanelSelect", 9, 37, 65, 22);
    PanelSelect->setFlat(true);
    PanelSelect->setStyleSheet(
        "background: rgb(219,219,229); font-weight: bold; text-decoration: underline; border: none;");
    connect(PanelSelect, &QPushButton::clicked, this, [this] { PanelSelectClick(); });

    ImagesBox = Place<QScrollArea>(this, "ImagesBox", 8, 56, 481, 377);
    ImagesBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ImagesBox->setFrameShape(QFrame::NoFrame);

    Panel2 = Place<QWidget>(this, "Panel2", 492, 56, 208, 356);
    Panel2->setAttribute(Qt::WA_StyledBackground);

    GroupAlbum = Place<QGroupBox>(Panel2, "GroupAlbum", 7, 2, 193, 161);
    Buttonlibrary = Place<QPushButton>(GroupAlbum, "Buttonlibrary", 8, 19, 81, 20);
    Buttonlibrary->setToolTip("Photos synch with iTunes");
    Buttonlibrary->setStyleSheet("font-weight: bold; color: black;");
    Buttoncamera = Place<QPushButton>(GroupAlbum, "Buttoncamera", 88, 20, 80, 19);
    Buttoncamera->setToolTip("Photos taken with iPhone camera");
    AlbumsListBox = Place<QListWidget>(GroupAlbum, "AlbumsListBox", 8, 39, 177, 114);

    GroupCopyPath = Place<QGroupBox>(Panel2, "GroupCopyPath", 7, 170, 193, 55);
    Path = Place<QLineEdit>(GroupCopyPath, "Path", 8, 23, 113, 19);
    Path->setReadOnly(true);
    ButtonOpen = Place<QPushButton>(GroupCopyPath, "ButtonOpen", 120, 23, 64, 19);
    ButtonOpen->setStyleSheet("font-weight: bold; color: black;");

    GroupBoxRes = Place<QGroupBox>(Panel2, "GroupBoxRes", 7, 226, 193, 65);
    RadioHigh = Place<QRadioButton>(GroupBoxRes, "RadioHigh", 12, 18, 93, 17);
    RadioHigh->setText("Full Resolution");
    RadioHigh->setChecked(true);
    RadioMid = Place<QRadioButton>(GroupBoxRes, "RadioMid", 114, 18, 69, 17);
    RadioMid->setText("120*160");
    RadioLow = Place<QRadioButton>(GroupBoxRes, "RadioLow", 12, 38, 52, 17);
    RadioLow->setText("76*76");
    RadioLowest = Place<QRadioButton>(GroupBoxRes, "RadioLowest", 114, 38, 69, 17);
    RadioLowest->setText("55*55");

    GroupBoxFF = Place<QGroupBox>(Panel2, "GroupBoxFF", 7, 298, 193, 52);
    RadioJpeg = Place<QRadioButton>(GroupBoxFF, "RadioJpeg", 44, 21, 41, 17);
    RadioJpeg->setText("Jpeg");
    RadioJpeg->setChecked(true);
    RadioBMP = Place<QRadioButton>(GroupBoxFF, "RadioBMP", 112, 21, 43, 17);
    RadioBMP->setText("BMP");

    Label3 = Place<QLabel>(this, "Label3", 16, 442, 132, 16);
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->setStyleSheet("color: yellow; font-size: 13px;");
    Label3->installEventFilter(new ClickFilter(Label3, [this] { Label3Click(); }));

    Image19 = Place<QLabel>(this, "Image19", 583, 421, 13, 29);
    ButtonCopy = Place<QPushButton>(this, "ButtonCopy", 596, 421, 76, 29);
    ButtonCopy->setStyleSheet("color: rgb(245,255,91); font-weight: bold; background: rgb(60,63,80);");
    Image18 = Place<QLabel>(this, "Image18", 672, 421, 13, 29);

    PanelInfo = Place<QWidget>(this, "PanelInfo", 0, 0, 0, 0);
    PanelInfo->hide();

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName("PopupMenu");
    CopyOutPhoto = Item(PopupMenu, "CopyOutPhoto");
    StopCopyPhoto = Item(PopupMenu, "StopCopyPhoto", false);
    SelectAll = Item(PopupMenu, "SelectAll");
    InvertSelect = Item(PopupMenu, "InvertSelect");
    ClearSelect = Item(PopupMenu, "ClearSelect");
    CheckUpdate1 = Item(PopupMenu, "CheckUpdate1");
    PopupMenu->addSeparator();
    Help1 = Item(PopupMenu, "Help1");
    connect(Help1, &QAction::triggered, this, [this] { OpenHowToPage(); });

    InnerPopupMenu = new QMenu(this);
    InnerPopupMenu->setObjectName("InnerPopupMenu");
    MenuItem1 = Item(InnerPopupMenu, "MenuItem1");
    MenuItem2 = Item(InnerPopupMenu, "MenuItem2", false);
    MenuItem3 = Item(InnerPopupMenu, "MenuItem3");
    MenuItem4 = Item(InnerPopupMenu, "MenuItem4");
    MenuItem5 = Item(InnerPopupMenu, "MenuItem5");
    ImagesBox->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ImagesBox, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { InnerPopupMenu->popup(ImagesBox->mapToGlobal(at)); });

    setTabOrder(ButtonCopy, XP_ButtonSmall1);
    setTabOrder(XP_ButtonSmall1, XP_ButtonSmall2);
    setTabOrder(XP_ButtonSmall2, XP_ButtonSmall3);
}

void TFormMain::PanelSelectClick() {
    PopupMenu->popup(mapToGlobal(QPoint(PanelSelect->x(), PanelSelect->y() + PanelSelect->height())));
}

void TFormMain::XP_ButtonSmall1Click() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) w->showMinimized();
}

void TFormMain::XP_ButtonSmall2Click() { OpenHowToPage(); }

void TFormMain::XP_ButtonSmall3Click() { close(); }
