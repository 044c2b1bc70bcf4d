// The controls of the main window at their places, and the chrome handlers.
#include <cmath>
#include <tuple>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

#include "FrmMain.h"
#include "controls/FormScaling.h"
#include "controls/SkinArt.h"
#include "controls/FormBuild.h"
#include "controls/WindowDrag.h"

namespace {

// Turns a left-button release on a widget into a call.
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

// Keeps children at their distance from the right and/or bottom edge of
// their parent when it changes size (anchors akRight, akBottom).
class AnchorFilter : public QObject {
public:
    explicit AnchorFilter(QWidget* parent) : QObject(parent), parent_(parent) { parent->installEventFilter(this); }
    void Anchor(QWidget* child, bool right, bool bottom) {
        anchors_.push_back({child, right, bottom, parent_->width() - child->x(), parent_->height() - child->y()});
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::Resize) return false;
        for (const Anchored& a : anchors_)
            a.child->move(a.right ? parent_->width() - a.fromRight : a.child->x(),
                          a.bottom ? parent_->height() - a.fromBottom : a.child->y());
        return false;
    }

private:
    struct Anchored {
        QWidget* child;
        bool right, bottom;
        int fromRight, fromBottom;
    };
    QWidget* parent_;
    std::vector<Anchored> anchors_;
};


// The free fonts that stand in for the fonts the window was drawn with.
constexpr const char* kSansFont = "Liberation Sans";     // for MS Sans Serif and Tahoma
constexpr const char* kTitleFont = "WenQuanYi Micro Hei";  // a gothic with Hangul, for @Gulim
constexpr const char* kArialFont = "Liberation Sans";

QFont Font(const char* family, int pixels, bool bold = false, bool underline = false) {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setUnderline(underline);
    return f;
}

void SetTextColor(QWidget* w, const QColor& c) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    pal.setColor(QPalette::ButtonText, c);
    w->setPalette(pal);
}

void SetBackground(QWidget* w, const QColor& c) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

const QColor kChrome(41, 43, 55), kPanel(219, 219, 229), kEdge(141, 141, 141), kYellow(245, 255, 91),
    kGrey(128, 128, 128);

}  // namespace

void TFormMain::CreateControls() {
    setObjectName(QStringLiteral("FormMain"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(706, 475);
    setFont(Font(kSansFont, 11));
    SetBackground(this, kChrome);

    // Frame pictures; the title bar's background first, so the rest lie on it.
    SunImage3 = Picture(this, "SunImage3", {1, 1, 705, 37}, "FRAME_TITLE", true);
    SunImage6 = Picture(this, "SunImage6", {225, 1, 281, 37}, "STATUS_BAND", true);
    SunImage4 = Picture(this, "SunImage4", {193, 1, 32, 32}, "STATUS_SHOULDER_L");
    SunImage5 = Picture(this, "SunImage5", {506, 1, 32, 32}, "STATUS_SHOULDER_R");
    SunImage7 = Picture(this, "SunImage7", {224, 2, 13, 24}, "STATUS_LEFT");
    SunImage8 = Picture(this, "SunImage8", {493, 2, 13, 24}, "STATUS_RIGHT");
    SunImage1 = Picture(this, "SunImage1", {0, 0, 9, 31}, "FRAME_TL");
    SunImage2 = Picture(this, "SunImage2", {696, 0, 9, 31}, "FRAME_TR");
    SunImage9 = Picture(this, "SunImage9", {0, 22, 1, 439}, "FRAME_SIDE", true);
    SunImage10 = Picture(this, "SunImage10", {704, 29, 1, 428}, "FRAME_SIDE", true);
    ImageB2 = Picture(this, "ImageB2", {9, 457, 683, 18}, "FRAME_BOTTOM", true);
    ImageB1 = Picture(this, "ImageB1", {0, 457, 13, 18}, "FRAME_BL");
    ImageB3 = Picture(this, "ImageB3", {692, 457, 13, 18}, "FRAME_BR");

    // The controls in tab order: creation order is the order of the focus
    // chain, and the frame pictures created above stay beneath the rest.
    // The product name.
    Label2 = Place<QLabel>(this, "Label2", 10, 16, 0, 0);
    Label2->setFont(Font(kTitleFont, 12, true));
    SetTextColor(Label2, Qt::yellow);
    Label2->adjustSize();

    // The Copy button strip.
    Image19 = Picture(this, "Image19", {583, 421, 13, 29}, "STRIP_LEFT");
    ButtonCopy = Place<TDaxButton>(this, "ButtonCopy", 596, 421, 76, 29);
    ButtonCopy->setFont(Font(kSansFont, 11, true));
    ButtonCopy->CaptionColor = kYellow;
    ButtonCopy->setFocusPolicy(Qt::StrongFocus);
    ButtonCopy->PicPos = TPicPos::pLeft;
    ButtonCopy->PicTrans = false;
    ButtonCopy->PicTransColor = Qt::black;
    ButtonCopy->PicOffSet = -28;
    Image18 = Picture(this, "Image18", {672, 421, 13, 29}, "STRIP_RIGHT");

    // Title bar buttons and the status line.
    const std::pair<TDaxButtonSmall**, std::pair<const char*, const char*>> titleButtons[] = {
        {&XP_ButtonSmall1, {"XP_ButtonSmall1", "GLYPH_MIN"}},
        {&XP_ButtonSmall2, {"XP_ButtonSmall2", "GLYPH_HELP"}},
        {&XP_ButtonSmall3, {"XP_ButtonSmall3", "GLYPH_CLOSE"}},
    };
    int left = 616;
    for (auto [button, what] : titleButtons) {
        *button = Place<TDaxButtonSmall>(this, what.first, left, 10, 18, 18);
        (*button)->SetGlyph(skin::Bitmap(what.second));
        (*button)->PicPos = TPicPos::pTop;
        (*button)->PicTrans = true;
        (*button)->PicTransColor = Qt::red;
        (*button)->PicOffSet = 2;
        left += 24;
    }
    connect(XP_ButtonSmall1, &QAbstractButton::clicked, this, [this] { XP_ButtonSmall1Click(); });
    connect(XP_ButtonSmall2, &QAbstractButton::clicked, this, [this] { XP_ButtonSmall2Click(); });
    connect(XP_ButtonSmall3, &QAbstractButton::clicked, this, [this] { XP_ButtonSmall3Click(); });

    Notifier = Place<TsPanel>(this, "Notifier", 237, 4, 256, 20);
    Notifier->setFont(Font(kSansFont, 11, true));
    Notifier->CaptionColor = kYellow;
    Notifier->SkinSection = QStringLiteral("TsPanel");
    Notifier->PaintingColor = kChrome;
    Notifier->Background = skin::Bitmap("STATUS_CENTRE");
    Notifier->BackgroundPercent = 100;
    Notifier->Bevel = false;
    Notifier->setText(QStringLiteral("Waiting For iPad"));

    // Settings column.
    Panel2 = Place<QWidget>(this, "Panel2", 492, 56, 208, 356);
    SetBackground(Panel2, kPanel);
    Image10 = Picture(Panel2, "Image10", {0, 0, 3, 3}, "PANEL_TL");
    Image11 = Picture(Panel2, "Image11", {205, 0, 3, 3}, "PANEL_TR");
    Image12 = Picture(Panel2, "Image12", {0, 352, 5, 4}, "PANEL_BL");
    Image13 = Picture(Panel2, "Image13", {203, 352, 5, 4}, "PANEL_BR");
    auto* anchors = new AnchorFilter(Panel2);
    anchors->Anchor(Image11, true, false);
    anchors->Anchor(Image12, false, true);
    anchors->Anchor(Image13, true, true);

    auto group = [this](const char* name, int top, int height) {
        auto* g = Place<TXP_GroupBox>(Panel2, name, 7, top, 193, height);
        g->BorderColor = kGrey;
        g->CaptionColor = kGrey;
        g->Color = kPanel;
        return g;
    };
    auto smallButton = [](QWidget* parent, const char* name, QRect at, bool bold, const QColor& color) {
        auto* b = Place<TXP_ButtonSmall>(parent, name, at.x(), at.y(), at.width(), at.height());
        b->setFont(Font(kSansFont, 11, bold));
        b->CaptionColor = color;
        b->PicPos = TPicPos::pTop;
        b->PicTrans = false;
        b->PicTransColor = Qt::black;
        b->PicOffSet = 2;
        return b;
    };
    auto radio = [](QWidget* parent, const char* name, QRect at, const char* caption) {
        auto* r = Place<TXP_RadioBox>(parent, name, at.x(), at.y(), at.width(), at.height());
        r->setText(QString::fromLatin1(caption));
        r->GroupIndex = 0;
        r->Color = kPanel;
        return r;
    };

    GroupAlbum = group("GroupAlbum", 2, 161);
    GroupAlbum->setTitle(QStringLiteral("Select Album"));
    Buttonlibrary = smallButton(GroupAlbum, "Buttonlibrary", {8, 19, 81, 20}, true, Qt::black);
    Buttonlibrary->setToolTip(QStringLiteral("Photos synch with iTunes"));
    Buttoncamera = smallButton(GroupAlbum, "Buttoncamera", {88, 20, 80, 19}, false, Qt::black);
    Buttoncamera->setToolTip(QStringLiteral("Photos taken with iPhone camera"));
    StyleSourceButton(Buttonlibrary, true);
    StyleSourceButton(Buttoncamera, false);
    for (TXP_ButtonSmall* source : {Buttonlibrary, Buttoncamera})
        connect(source, &QAbstractButton::clicked, this, [this, source] { ButtonlibraryClick(source); });
    AlbumsListBox = Place<TSunListBox>(GroupAlbum, "AlbumsListBox", 8, 39, 177, 114);
    AlbumsListBox->SetColors(QColor(218, 225, 234), kEdge);
    AlbumsListBox->SetItemHeight(16);
    AlbumsListBox->OnClick = [this] { AlbumsListBoxClick(); };

    GroupCopyPath = group("GroupCopyPath", 170, 55);
    GroupCopyPath->setTitle(QStringLiteral("Backup Path"));
    Path = Place<TSunSafeEdit>(GroupCopyPath, "Path", 8, 23, 113, 19);
    Path->setReadOnly(true);
    Path->SetColors(QColor(218, 225, 234), kEdge, QColor(65, 67, 64), QColor(218, 225, 234));
    ButtonOpen = smallButton(GroupCopyPath, "ButtonOpen", {120, 23, 64, 19}, true, Qt::black);

    GroupBoxRes = group("GroupBoxRes", 226, 65);
    GroupBoxRes->setTitle(QStringLiteral("Backup Resolution"));
    RadioHigh = radio(GroupBoxRes, "RadioHigh", {12, 18, 93, 17}, "Full Resolution");
    RadioMid = radio(GroupBoxRes, "RadioMid", {114, 18, 69, 17}, "120*160");
    RadioLow = radio(GroupBoxRes, "RadioLow", {12, 38, 52, 17}, "76*76");
    RadioLowest = radio(GroupBoxRes, "RadioLowest", {114, 38, 69, 17}, "55*55");
    RadioHigh->setChecked(true);

    GroupBoxFF = group("GroupBoxFF", 298, 52);
    GroupBoxFF->setTitle(QStringLiteral("Backup File Format"));
    RadioJpeg = radio(GroupBoxFF, "RadioJpeg", {44, 21, 41, 17}, "Jpeg");
    RadioBMP = radio(GroupBoxFF, "RadioBMP", {112, 21, 43, 17}, "BMP");
    RadioJpeg->setChecked(true);

    // Thumbnail grid.
    ImagesBox = Place<TSunScrollBox>(this, "ImagesBox", 8, 56, 481, 377);
    ImagesBox->SetColor(kPanel);
    ImagesBox->BorderColor = kEdge;
    ImagesBox->OnMouseDown = [this](QMouseEvent* e) { ImagesBoxMouseDown(*e); };
    ImagesBox->OnMouseUp = [this](QMouseEvent* e) { ImagesBoxMouseUp(*e); };
    ImagesBox->OnVScroll = [this](int position) { ImagesBoxVScroll(position); };

    // The "File" tab.
    PanelSelect = Place<QLabel>(this, "PanelSelect", 9, 37, 65, 22);
    PanelSelect->setText(QStringLiteral("File"));
    PanelSelect->setAlignment(Qt::AlignCenter);
    PanelSelect->setFont(Font(kSansFont, 11, true, true));
    SetTextColor(PanelSelect, Qt::black);
    SetBackground(PanelSelect, kPanel);
    PanelSelect->setCursor(Qt::PointingHandCursor);
    PanelSelect->installEventFilter(new ClickFilter(PanelSelect, [this] { PanelSelectClick(); }));
    Image6 = Picture(PanelSelect, "Image6", {0, 0, 3, 3}, "PANEL_TL");
    Image7 = Picture(PanelSelect, "Image7", {62, 0, 3, 3}, "PANEL_TR");
    Image22 = Picture(PanelSelect, "Image22", {-2, 21, 137, 1}, "TAB_LINE", true);

    // The site label.
    Label3 = Place<QLabel>(this, "Label3", 16, 442, 132, 16);
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->setFont(Font(kSansFont, 13));
    SetTextColor(Label3, Qt::yellow);
    Label3->installEventFilter(new ClickFilter(Label3, [this] { Label3Click(); }));

    // The update panel, hidden until an update answer shows it.
    // A raised one-pixel edge, inside which the button bar sits.
    auto* panelInfo = Place<QFrame>(this, "PanelInfo", 152, 144, 393, 137);
    panelInfo->setFrameStyle(QFrame::Panel | QFrame::Raised);
    PanelInfo = panelInfo;
    SetBackground(PanelInfo, QColor(187, 194, 205));
    PanelInfoTitle = Place<QLabel>(PanelInfo, "PanelInfoTitle", 24, 19, 345, 62);
    PanelInfoTitle->setAlignment(Qt::AlignCenter);
    PanelInfoTitle->setWordWrap(true);
    PanelInfoTitle->setFont(Font(kArialFont, 12, true));
    SetTextColor(PanelInfoTitle, QColor(81, 81, 81));
    PanelInfoTitle->setCursor(Qt::PointingHandCursor);
    sPanel2 = Place<TsPanel>(PanelInfo, "sPanel2", 1, 100, 391, 36);
    sPanel2->PaintingColor = QColor(187, 194, 205);
    sPanel2->Background = skin::Bitmap("INFO_BAR");
    sPanel2->Bevel = false;
    PanelInfo->hide();

    // Menus.
    PopupMenu = new TSunPopupMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    CopyOutPhoto = PopupMenu->AddItem("CopyOutPhoto");
    StopCopyPhoto = PopupMenu->AddItem("StopCopyPhoto", false);
    SelectAll = PopupMenu->AddItem("SelectAll");
    InvertSelect = PopupMenu->AddItem("InvertSelect");
    ClearSelect = PopupMenu->AddItem("ClearSelect");
    CheckUpdate1 = PopupMenu->AddItem("CheckUpdate1");
    Help1 = PopupMenu->AddItem("Help1", true, true);
    connect(Help1, &QAction::triggered, this, [this] {
        try {
            OpenHowToPage();
        } catch (...) {
        }
    });

    InnerPopupMenu = new TSunPopupMenu(this);
    InnerPopupMenu->setObjectName(QStringLiteral("InnerPopupMenu"));
    MenuItem1 = InnerPopupMenu->AddItem("MenuItem1");
    MenuItem2 = InnerPopupMenu->AddItem("MenuItem2", false);
    MenuItem3 = InnerPopupMenu->AddItem("MenuItem3");
    MenuItem4 = InnerPopupMenu->AddItem("MenuItem4");
    MenuItem5 = InnerPopupMenu->AddItem("MenuItem5");
    for (auto [main, inner, handler] : {std::tuple{SelectAll, MenuItem3, &TFormMain::SelectAllClick},
                                        std::tuple{InvertSelect, MenuItem4, &TFormMain::InvertSelectClick},
                                        std::tuple{ClearSelect, MenuItem5, &TFormMain::ClearSelectClick}})
        for (QAction* item : {main, inner}) connect(item, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    ImagesBox->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ImagesBox, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) { ImagesBoxContextMenu(at); });

    // The surfaces that drag the window: the window itself, the frame
    // pictures, the product name, the status line and the settings column.
    for (QWidget* surface : std::initializer_list<QWidget*>{
             this, SunImage1, SunImage2, SunImage3, SunImage4, SunImage5, SunImage6, SunImage7, SunImage8, SunImage9,
             SunImage10, ImageB1, ImageB2, ImageB3, Label2, Notifier, Panel2})
        skin::BindMouseMove(surface, [this](Qt::MouseButtons buttons) { APPMoesemove(buttons); });

    // Laid out for 96 pixels per inch.
    skin::ScaleForm(this, skin::ScreenDpi(this));
}

void TFormMain::StyleSourceButton(TXP_ButtonSmall* button, bool active) {
    // The active source stands a pixel higher, in bold black; the other in
    // the dark shadow colour of the classic desktop scheme.
    const double k = skin::PixelScale(button);
    button->setGeometry(button->x(), static_cast<int>(std::lround((active ? 19 : 20) * k)), button->width(),
                        static_cast<int>(std::lround((active ? 20 : 19) * k)));
    QFont font = button->font();
    font.setBold(active);
    button->setFont(font);
    button->CaptionColor = active ? QColor(Qt::black) : QColor(105, 105, 105);
    button->update();
}

void TFormMain::APPMoesemove(Qt::MouseButtons buttons) {
    if (buttons & Qt::LeftButton) skin::SystemMove(this);
}

void TFormMain::PanelSelectClick() {
    // The window has no frame, so its position is its client area's.
    PopupMenu->popup(mapToGlobal(QPoint(PanelSelect->x(), PanelSelect->y() + PanelSelect->height())));
}

void TFormMain::XP_ButtonSmall1Click() {
    // The whole program goes to the task bar, not just this window.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowType() != Qt::Popup) w->showMinimized();
}

void TFormMain::XP_ButtonSmall2Click() {
    try {
        OpenHowToPage();
    } catch (...) {
    }
}

void TFormMain::XP_ButtonSmall3Click() { close(); }
