// Start, the link to the connector, and close.
#include "FrmMain.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include <QCloseEvent>
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QListWidget>
#include <QPainterPath>
#include <QProcess>
#include <QRadioButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegion>
#include <QScreen>
#include <QShowEvent>
#include <QSocketNotifier>
#include <QTimer>

#include "CommandText.h"
#include "ConnectorLink.h"
#include "FileUtil.h"
#include "InterfaceTexts.h"
#include "LogClass.h"

TFormMain::TFormMain() {
    // The connector finds this window by class and caption, so the endpoint
    // exists before FormCreate starts the connector.
    Endpoint = wm::Window::Create(px::MainWindowClass, px::MainWindowTitle,
                                  [this](const wm::Message& m) { return WindowProcedure(m); });
    if (Endpoint) {
        EndpointNotifier = new QSocketNotifier(Endpoint->ListenFd(), QSocketNotifier::Read, this);
        connect(EndpointNotifier, &QSocketNotifier::activated, this, [this] { Endpoint->DispatchPending(); });
    }
    setWindowTitle(QString::fromUtf8(px::MainWindowTitle.data(), px::MainWindowTitle.size()));
    CreateControls();
    BindCopyRun();
    // The wheel scrolls the grid wherever the pointer is on the window.
    qApp->installEventFilter(this);
    SiteAddress = SiteAddressFor("en");
    ReadRegistry();
    FormCreate();
}

TFormMain::~TFormMain() {
    if (!Closed) SetInterfaceTextSource(nullptr);
}

const wm::HWND& TFormMain::Handle() const {
    static const wm::HWND none;
    return Endpoint ? Endpoint->Handle() : none;
}

void TFormMain::FormCreate() {
    PhotoReader = std::make_unique<TiPad>();
    Grid = std::make_unique<TThumbGrid>(PhotoReader->SelectedPhotos, ImagesBox->width());
    Grid->OnSelectedChanged = [this](std::size_t i) { GridCells[i]->SetSelected((*Grid)[i].Selected); };
    LanguageTexts = std::make_unique<std::vector<std::string>>();
    SetInterfaceTextSource(LanguageTexts.get());
    try {
        LoadLanguageTexts();
    } catch (const std::exception& e) {
        // An unreadable language file leaves the defaults; the program still starts.
        TLogClass::WriteLog(ProgramFolder, std::string("LoadLanguageTexts:") + e.what());
    }
    ApplyInterfaceTexts();
    AnchorX = AnchorY = EndX = EndY = AnchorScrollPos = 0;
    AnchorSet = false;
    StopRequested = false;
    LibraryMode = true;
    PhotoReader->SetLocalFolder(ProgramFolder);

    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0, 0, width(), height()), 12.5, 12.5);
    setMask(QRegion(rounded.toFillPolygon().toPolygon()));
    CreateUpdatePanelButtons();

    ConnectorFolder = ChooseConnectorFolder(std::string(MachineRegistryPath));
    CameraFolder = ProgramFolder + ConnectorFolder + "camera/";
    std::error_code ec;
    std::filesystem::create_directories(CameraFolder, ec);
    std::filesystem::remove(ProgramFolder + ConnectorFolder + "adbp.ant", ec);
    StartConnector();
    PhotoReader->SetLocalFolder(ProgramFolder + ConnectorFolder);

    TimerLoadData = new QTimer(this);
    TimerLoadData->setInterval(1000);
    connect(TimerLoadData, &QTimer::timeout, this, [this] { TimerLoadDataTimer(); });
}

void TFormMain::StartConnector() {
    qint64 pid = 0;
    if (QProcess::startDetached(QString::fromStdString(ProgramFolder + ConnectorFolder + std::string(ConnectorProgram)),
                                {}, {}, &pid))
        StartedConnectors.push_back(pid);
}

void TFormMain::FormShow() {
    try {
        if (QScreen* screen = this->screen()) {
            const QRect s = screen->geometry();
            move(s.left() + (s.width() - width()) / 2, s.top() + (s.height() - height()) / 2);
        }
        Label2->setText(QString::fromUtf8(ProductName.data(), ProductName.size()));
        Label2->adjustSize();
        Label3->setText(QString::fromStdString(SiteAddress));
        Label3->adjustSize();
        Path->setText(QString::fromStdString(BackupPath));
        Path->setCursorPosition(0);
        TXP_RadioBox* resolution[] = {RadioHigh, RadioMid, RadioLow, RadioLowest};
        if (BackupResolution >= 1 && BackupResolution <= 4) resolution[BackupResolution - 1]->setChecked(true);
        if (BackupFormat == 1) RadioBMP->setChecked(true);
        if (BackupFormat == 2) RadioJpeg->setChecked(true);
        Image19->move(ButtonCopy->x() - Image19->width(), Image19->y());
        CheckForUpdate(true);
    } catch (const std::exception& e) {
        TLogClass::WriteLog(ProgramFolder, std::string("FormShow:") + e.what());
    }
}

void TFormMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

wm::HWND TFormMain::ConnectorWindow() {
    // A cached handle whose connector has ended would swallow every command.
    if (!ConnectorHandle || !wm::IsWindow(ConnectorHandle))
        ConnectorHandle = wm::FindWindowA(px::ConnectorClass, px::ConnectorTitle);
    if (!ConnectorHandle) {
        StartConnector();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ConnectorStartWaitMs);
        while (!(ConnectorHandle = wm::FindWindowA(px::ConnectorClass, px::ConnectorTitle)) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return ConnectorHandle;
}

wm::LRESULT TFormMain::WindowProcedure(const wm::Message& message) {
    if (message.message == wm::WM_COPYDATA && message.copyData) {
        // The sender waits for this to return (through a copy's report dialog, too).
        ++RepliesInHand;
        WMCopyData(wm::CopyDataText(*message.copyData));
        --RepliesInHand;
    }
    return 0;
}

void TFormMain::WMCopyData(std::string_view text) {
    // Replies that come in while the window closes find the texts and the
    // reader released and are ignored.
    if (!LanguageTexts || !PhotoReader) return;
    if (text == px::ReplyDeviceAccepted) {
        ShowStatus(GetInterfaceText(itext::Connected));
    } else if (text == px::ReplyDataReady) {
        ++GridBuild;  // a build still running would read the old album lists; the timer builds anew
        DeviceReady = true;
        PhotoReader->LoadPhotoDatabase();
        if (LibraryMode) {
            AlbumsListBox->clear();
            for (const auto& name : PhotoReader->AlbumNames) AlbumsListBox->addItem(QString::fromStdString(name));
            AlbumsListBox->setCurrentRow(0);
        }
        TimerLoadData->start();
    } else if (text == px::ReplyDeviceGone) {
        DeviceReady = false;
        AlbumsListBox->clear();
        PhotoReader->AlbumNames.clear();
        // Emptying the grid counts down in the status line; the loss is the last word.
        ShowLibraryAlbum();
        ShowStatus(GetInterfaceText(itext::ConnectionLost));
        if (CopyInProgress) EndCopy();
    } else if (text == px::ReplyCommandDone) {
        CopyPhotoDone();
    }
}

void TFormMain::ShutDownConnectors() {
    // Every connector, whichever start it came from, until none is left. One
    // this program started may not have made its window yet: wait for it a
    // while, or it would outlive the program.
    // Each window is asked once: one that waits for an answer of ours keeps
    // its window until we have answered, which cannot happen while we close
    // from inside that answer; it ends once we are gone.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ConnectorStartWaitMs);
    std::vector<wm::HWND> asked;
    for (;;) {
        for (const wm::HWND& connector : wm::FindWindows(px::ConnectorClass, px::ConnectorTitle)) {
            if (std::find(asked.begin(), asked.end(), connector) != asked.end()) continue;
            wm::SendMessageA(connector, wm::WM_DESTROY, 1, 1);
            asked.push_back(connector);
        }
        std::erase_if(StartedConnectors, [](long long pid) { return !px::ProcessRunning(pid); });
        if (StartedConnectors.empty() || RepliesInHand > 0 || std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (!Closed) FormClose();
    event->accept();
}

void TFormMain::FormClose() {
    Closed = true;
    SetInterfaceTextSource(nullptr);
    LanguageTexts.reset();

    ShutDownConnectors();

    WriteRegistry();
    CleanCameraFolder(CameraFolder);
    Grid.reset();  // it holds the reader's selection list
    PhotoReader.reset();
}
