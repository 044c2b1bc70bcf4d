// The main window. One class; its parts live in separate source files:
// FrmMain.cpp (start, connector link, close), FrmMainSettings.cpp (settings,
// texts, log, links), FrmMainLayout.cpp (controls and chrome).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QWidget>

#include "Settings.h"
#include "WindowMessages.h"
#include "iPadcomponent.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSocketNotifier;
class QTimer;

class TFormMain : public QWidget, public Settings {
public:
    TFormMain();
    ~TFormMain() override;

    // --- application shell and connector link
    std::unique_ptr<TiPad> PhotoReader;
    bool DeviceReady = false;
    bool LibraryMode = true;
    wm::HWND ConnectorHandle;
    std::string ConnectorFolder;  // "dlla/" or "dllb/"
    std::string CameraFolder;

    void FormCreate();
    void FormShow();
    void FormClose();
    wm::HWND ConnectorWindow();
    void WMCopyData(std::string_view text);
    const wm::HWND& Handle() const;
    // How long ConnectorWindow waits for a connector it has just started.
    static constexpr int ConnectorStartWaitMs = 5000;
    void ShutDownConnectors();

    // --- settings, interface texts, access log
    std::unique_ptr<std::vector<std::string>> LanguageTexts;
    void ReadRegistry();
    void WriteRegistry();
    void LoadLanguageTexts();
    void ApplyInterfaceTexts();
    void ShowStatus(std::string_view text);
    void OpenHowToPage();
    void Label3Click();

    // --- album view (filled in by the album view)
    void TimerLoadDataTimer();

    // --- controls, named as in the window layout
    QLabel* Label2 = nullptr;
    QLabel* Notifier = nullptr;
    QPushButton* XP_ButtonSmall1 = nullptr;
    QPushButton* XP_ButtonSmall2 = nullptr;
    QPushButton* XP_ButtonSmall3 = nullptr;
    QPushButton* PanelSelect = nullptr;
    QScrollArea* ImagesBox = nullptr;
    QWidget* Panel2 = nullptr;
    QGroupBox* GroupAlbum = nullptr;
    QPushButton* Buttonlibrary = nullptr;
    QPushButton* Buttoncamera = nullptr;
    QListWidget* AlbumsListBox = nullptr;
    QGroupBox* GroupCopyPath = nullptr;
    QLineEdit* Path = nullptr;
    QPushButton* ButtonOpen = nullptr;
    QGroupBox* GroupBoxRes = nullptr;
    QRadioButton* RadioHigh = nullptr;
    QRadioButton* RadioMid = nullptr;
    QRadioButton* RadioLow = nullptr;
    QRadioButton* RadioLowest = nullptr;
    QGroupBox* GroupBoxFF = nullptr;
    QRadioButton* RadioJpeg = nullptr;
    QRadioButton* RadioBMP = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Image19 = nullptr;
    QPushButton* ButtonCopy = nullptr;
    QLabel* Image18 = nullptr;
    QWidget* PanelInfo = nullptr;
    QMenu* PopupMenu = nullptr;
    QAction* CopyOutPhoto = nullptr;
    QAction* StopCopyPhoto = nullptr;
    QAction* SelectAll = nullptr;
    QAction* InvertSelect = nullptr;
    QAction* ClearSelect = nullptr;
    QAction* CheckUpdate1 = nullptr;
    QAction* Help1 = nullptr;
    QMenu* InnerPopupMenu = nullptr;
    QAction* MenuItem1 = nullptr;
    QAction* MenuItem2 = nullptr;
    QAction* MenuItem3 = nullptr;
    QAction* MenuItem4 = nullptr;
    QAction* MenuItem5 = nullptr;
    QTimer* TimerLoadData = nullptr;

    // --- chrome
    void PanelSelectClick();
    void XP_ButtonSmall1Click();
    void XP_ButtonSmall2Click();
    void XP_ButtonSmall3Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void StartConnector();
    wm::LRESULT WindowProcedure(const wm::Message& message);

    std::unique_ptr<wm::Window> Endpoint;
    std::vector<long long> StartedConnectors;  // process ids
    QSocketNotifier* EndpointNotifier = nullptr;
    bool Closed = false;
};
