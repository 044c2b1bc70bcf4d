#include "FrmReport.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPainterPath>
#include <QRegion>
#include <QShowEvent>
#include <QUrl>

#include "FrmMain.h"
#include "InterfaceTexts.h"
#include "LogClass.h"
#include "controls/FormScaling.h"
#include "controls/SkinArt.h"
#include "controls/FormBuild.h"
#include "controls/WindowDrag.h"

TFormReport* FormReport = nullptr;

namespace {


QFont SansFont(bool bold) {
    QFont f(QStringLiteral("Liberation Sans"));  // stands in for MS Sans Serif
    f.setPixelSize(11);
    f.setBold(bold);
    return f;
}

}  // namespace

TFormReport::TFormReport(TFormMain& mainForm) : QDialog(&mainForm), MainForm(mainForm) {
    setObjectName(QStringLiteral("FormReport"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(334, 191);
    setFont(SansFont(false));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(219, 219, 229));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    OpenFolder = [](const std::string& folder) {
        // The desktop's own error handling applies; a failed open is not ours to report.
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
    };

    SunImage3 = Picture(this, "SunImage3", {0, 1, 334, 25}, "REPORT_TITLE", true);
    SunImage1 = Picture(this, "SunImage1", {0, 0, 9, 22}, "REPORT_TL", false);
    SunImage4 = Picture(this, "SunImage4", {325, 0, 9, 22}, "REPORT_TR", false);
    SunImage2 = Picture(this, "SunImage2", {8, 0, 413, 1}, "REPORT_TOPLINE", true);
    SunImage5 = Picture(this, "SunImage5", {1, 25, 333, 5}, "REPORT_BAND", true);
    SunImage9 = Picture(this, "SunImage9", {0, 22, 1, 150}, "REPORT_SIDE", true);
    SunImage10 = Picture(this, "SunImage10", {333, 22, 1, 150}, "REPORT_SIDE", true);
    ImageB1 = Picture(this, "ImageB1", {0, 173, 13, 18}, "REPORT_BL", false);
    ImageB2 = Picture(this, "ImageB2", {13, 173, 310, 18}, "REPORT_BOTTOM", true);
    ImageB3 = Picture(this, "ImageB3", {321, 173, 13, 18}, "REPORT_BR", false);

    Label1 = Place<QLabel>(this, "Label1", 88, 72, 142, 13);

    auto button = [this](const char* name, QRect at) {
        auto* b = Place<TDaxButton>(this, name, at.x(), at.y(), at.width(), at.height());
        b->setFont(SansFont(true));
        b->CaptionColor = QColor(245, 255, 91);
        return b;
    };
    OpenDir = button("OpenDir", {48, 117, 96, 29});
    CloseButton = button("CloseButton", {191, 117, 92, 29});
    setTabOrder(OpenDir, CloseButton);
    connect(OpenDir, &QAbstractButton::clicked, this, [this] { OpenDirClick(); });
    connect(CloseButton, &QAbstractButton::clicked, this, [this] { CloseButtonClick(); });

    auto titleButton = [this](const char* name, int left, const char* glyph, const QString& hint) {
        auto* b = Place<TDaxButtonSmall>(this, name, left, 6, 18, 18);
        b->SetGlyph(skin::Bitmap(glyph));
        b->PicTrans = true;
        b->PicTransColor = Qt::red;
        b->PicOffSet = 2;
        b->setToolTip(hint);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    DaxButtonSmall1 = titleButton("DaxButtonSmall1", 257, "GLYPH_MIN", QStringLiteral("Minimize"));
    DaxButtonSmall3 = titleButton("DaxButtonSmall3", 281, "GLYPH_LINK", QString::fromStdString(mainForm.SiteAddress));
    DaxButtonSmall2 = titleButton("DaxButtonSmall2", 305, "GLYPH_CLOSE", QStringLiteral("Close"));
    connect(DaxButtonSmall1, &QAbstractButton::clicked, this, [this] { DaxButtonSmall1Click(); });
    connect(DaxButtonSmall3, &QAbstractButton::clicked, this, [this] { DaxButtonSmall3Click(); });
    connect(DaxButtonSmall2, &QAbstractButton::clicked, this, [this] { DaxButtonSmall2Click(); });

    for (QWidget* surface : std::initializer_list<QWidget*>{this, SunImage3, SunImage1, SunImage4, SunImage5, SunImage10,
                                                            ImageB1, ImageB2, ImageB3, Label1})
        skin::BindMouseMove(surface, [this](Qt::MouseButtons buttons) { SunImage3MouseMove(buttons); });

    FormCreate();
    FormReport = this;
}

TFormReport::~TFormReport() {
    if (FormReport == this) FormReport = nullptr;
}

void TFormReport::FormCreate() {
    // The main window has loaded the language texts by now; they are not applied again.
    ApplyInterfaceTexts();
    skin::ScaleForm(this, skin::ScreenDpi(this));
}

void TFormReport::ApplyInterfaceTexts() {
    Label1->setText(QString::fromStdString(GetInterfaceText(itext::OpenDirectoryQuestion)));
    // The label grows with its text, as an auto-sized label does.
    if (Label1->sizeHint().width() > Label1->width()) Label1->resize(Label1->sizeHint().width(), Label1->height());
    OpenDir->setText(QString::fromStdString(GetInterfaceText(itext::OpenDirectory)));
    CloseButton->setText(QString::fromStdString(GetInterfaceText(itext::Close)));
}

int TFormReport::ShowModal() { return exec(); }

void TFormReport::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFormReport::FormShow() {
    // Whole-number divisions that round toward zero, as C++ division does.
    const QRect m = MainForm.geometry();
    move(m.left() + (m.width() - width()) / 2, m.top() + (m.height() - height()) / 2);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0, 0, width(), height()), 12.5, 12.5);
    setMask(QRegion(rounded.toFillPolygon().toPolygon()));
}

void TFormReport::OpenDirClick() {
    try {
        OpenFolder(TargetFolder);
        close();
    } catch (const std::exception& e) {
        TLogClass::WriteLog(MainForm.ProgramFolder, std::string("OpenDirClick:") + e.what());
    }
}

void TFormReport::CloseButtonClick() {
    repaint();  // the background at once, as the last look before hiding
    close();
}

void TFormReport::DaxButtonSmall2Click() { CloseButtonClick(); }

void TFormReport::DaxButtonSmall1Click() { MainForm.XP_ButtonSmall1Click(); }

void TFormReport::DaxButtonSmall3Click() {
    try {
        MainForm.OpenHowToPage();
    } catch (...) {
    }
}

void TFormReport::SunImage3MouseMove(Qt::MouseButtons buttons) {
    if (buttons & Qt::LeftButton) skin::SystemMove(this);
}
