// The main window. One class; its parts live in separate source files:
// FrmMain.cpp (start, connector link, close), FrmMainSettings.cpp (settings,
// texts, log, links), FrmMainLayout.cpp (controls and chrome).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QLabel>
#include <QWidget>

#include "Settings.h"
#include "controls/TDaxButton.h"
#include "controls/TDaxButtonSmall.h"
#include "controls/TSunImage.h"
#include "controls/TSunListBox.h"
#include "controls/TSunPopupMenu.h"
#include "controls/TSunSafeEdit.h"
#include "controls/TSunScrollBox.h"
#include "controls/TXP_ButtonSmall.h"
#include "controls/TXP_GroupBox.h"
#include "controls/TXP_RadioBox.h"
#include "controls/TsPanel.h"
#include "WindowMessages.h"
#include "PhotoCopy.h"
#include "ThumbGrid.h"
#include "iPadcomponent.h"

class QAction;
class QMouseEvent;

class QSocketNotifier;
class QTimer;

// Texts are UTF-8 throughout; the toolkit's strings are made from them here.
inline QString Q(const std::string& s) { return QString::fromStdString(s); }

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

    // --- update check (FrmMainUpdate.cpp)
    void CreateUpdatePanelButtons();  // FormCreate
    void CheckForUpdate(bool silent);
    void CheckUpdate1Click();
    void WMUpdateAnswer(std::string_view answer);
    void ButtonInfoOKClick();
    void ButtonInfoCancelClick();
    void PanelInfoMouseMove(Qt::MouseButtons buttons, QPoint globalPos);
    class TButton2* ButtonInfoOK = nullptr;
    class TButton2* ButtonInfoCancel = nullptr;
    std::shared_ptr<class TUpdateThread> UpdateWorker;  // stopped and waited for when the window goes
    bool PanelInfoTitleActsAsOK = false;                // set when an answer shows the panel
    bool PanelInfoDragging = false;
    bool PanelInfoMoved = false;  // during this press, so that the press is no click
    QPoint PanelInfoGrab;         // global mouse position when the drag took hold
    QPoint PanelInfoGrabPos;      // the panel's position then

    // --- album view and thumbnail grid (FrmMainAlbum.cpp)
    bool CopyInProgress = false;
    int AnchorX = 0;
    int AnchorY = 0;
    int EndX = 0;
    int EndY = 0;
    int AnchorScrollPos = 0;
    bool AnchorSet = false;
    // The cells without their widgets; GridCells holds the widgets in the same order.
    std::unique_ptr<TThumbGrid> Grid;
    std::vector<std::unique_ptr<TSunImage>> GridCells;

    void ButtonlibraryClick(const QObject* sender);
    void AlbumsListBoxClick();
    void TimerLoadDataTimer();
    void ShowLibraryAlbum();
    void ShowSavedPhotos();
    void SelectCell(std::size_t index);
    void UnselectCell(std::size_t index);
    void SelectByRectangle();
    void ToggleAtPoint();
    void SelectAllClick();
    void InvertSelectClick();
    void ClearSelectClick();
    void ImagesBoxMouseDown(const QMouseEvent& event);
    void ImagesBoxMouseUp(const QMouseEvent& event);
    void ImagesBoxVScroll(int position);
    void FormMouseWheel(int delta);
    // The context menu of the grid, or of the cell under a point of the grid's visible area.
    void ImagesBoxContextMenu(const QPoint& at);

    // --- copy run (FrmMainCopy.cpp)
    bool StopRequested = false;
    std::int32_t CopyIndex = 0;
    std::int32_t VertPadding = 0;
    std::int32_t HorzPadding = 0;
    // The two places where a person answers; tests put their own answers in.
    std::function<void(const std::string& text)> ShowMessage;
    std::function<std::optional<std::string>(const std::string& initialFolder)> BrowseForFolder;
    // How long a stopped run waits for the reply of the photo in flight.
    static constexpr int StopWaitMs = 10000;

    void CopyOutPhotoClick();
    void StopCopyPhotoClick();
    void ButtonCopyClick();
    void ButtonOpenClick();
    void RadioResolutionClick();
    void RadioFileFormatClick();
    void CopyNextPhoto();
    void GenerateOnePhoto();
    void CopyPhotoDone();
    void EndCopy();

    // --- controls, named as in the window layout
    // frame pictures
    TSunImage* SunImage1 = nullptr;
    TSunImage* SunImage2 = nullptr;
    TSunImage* SunImage3 = nullptr;
    TSunImage* SunImage4 = nullptr;
    TSunImage* SunImage5 = nullptr;
    TSunImage* SunImage6 = nullptr;
    TSunImage* SunImage7 = nullptr;
    TSunImage* SunImage8 = nullptr;
    TSunImage* SunImage9 = nullptr;
    TSunImage* SunImage10 = nullptr;
    TSunImage* ImageB1 = nullptr;
    TSunImage* ImageB2 = nullptr;
    TSunImage* ImageB3 = nullptr;
    // title bar
    QLabel* Label2 = nullptr;
    TsPanel* Notifier = nullptr;
    TDaxButtonSmall* XP_ButtonSmall1 = nullptr;
    TDaxButtonSmall* XP_ButtonSmall2 = nullptr;
    TDaxButtonSmall* XP_ButtonSmall3 = nullptr;
    // the "File" tab
    QLabel* PanelSelect = nullptr;
    TSunImage* Image6 = nullptr;
    TSunImage* Image7 = nullptr;
    TSunImage* Image22 = nullptr;
    // grid
    TSunScrollBox* ImagesBox = nullptr;
    // settings column
    QWidget* Panel2 = nullptr;
    TSunImage* Image10 = nullptr;
    TSunImage* Image11 = nullptr;
    TSunImage* Image12 = nullptr;
    TSunImage* Image13 = nullptr;
    TXP_GroupBox* GroupAlbum = nullptr;
    TXP_ButtonSmall* Buttonlibrary = nullptr;
    TXP_ButtonSmall* Buttoncamera = nullptr;
    TSunListBox* AlbumsListBox = nullptr;
    TXP_GroupBox* GroupCopyPath = nullptr;
    TSunSafeEdit* Path = nullptr;
    TXP_ButtonSmall* ButtonOpen = nullptr;
    TXP_GroupBox* GroupBoxRes = nullptr;
    TXP_RadioBox* RadioHigh = nullptr;
    TXP_RadioBox* RadioMid = nullptr;
    TXP_RadioBox* RadioLow = nullptr;
    TXP_RadioBox* RadioLowest = nullptr;
    TXP_GroupBox* GroupBoxFF = nullptr;
    TXP_RadioBox* RadioJpeg = nullptr;
    TXP_RadioBox* RadioBMP = nullptr;
    // bottom row
    QLabel* Label3 = nullptr;
    TSunImage* Image19 = nullptr;
    TDaxButton* ButtonCopy = nullptr;
    TSunImage* Image18 = nullptr;
    // update panel, hidden at start
    QWidget* PanelInfo = nullptr;
    QLabel* PanelInfoTitle = nullptr;
    TsPanel* sPanel2 = nullptr;
    // menus and timer
    TSunPopupMenu* PopupMenu = nullptr;
    QAction* CopyOutPhoto = nullptr;
    QAction* StopCopyPhoto = nullptr;
    QAction* SelectAll = nullptr;
    QAction* InvertSelect = nullptr;
    QAction* ClearSelect = nullptr;
    QAction* CheckUpdate1 = nullptr;
    QAction* Help1 = nullptr;
    TSunPopupMenu* InnerPopupMenu = nullptr;
    QAction* MenuItem1 = nullptr;
    QAction* MenuItem2 = nullptr;
    QAction* MenuItem3 = nullptr;
    QAction* MenuItem4 = nullptr;
    QAction* MenuItem5 = nullptr;
    QTimer* TimerLoadData = nullptr;

    // --- chrome
    void APPMoesemove(Qt::MouseButtons buttons);
    void PanelSelectClick();
    void XP_ButtonSmall1Click();
    void XP_ButtonSmall2Click();
    void XP_ButtonSmall3Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void StyleSourceButton(TXP_ButtonSmall* button, bool active);
    void EmptyGrid();
    // Adds a cell; false when its key is in the grid already.
    bool AddGridCell(const std::string& key, const QPixmap& picture);
    void ShowProgress(const std::string& text);  // the status line, painted at once
    int GridScrollPos() const;
    // The pointer's place in the grid's content, from its place on the screen.
    QPoint GridPoint(const QPointF& global) const;
    void SelectToEnd(const QPoint& end);
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Counts grid rebuilds, so a build that a handed-on message overtook stops.
    unsigned GridBuild = 0;
    bool GridFromLibrary = true;  // the source the cells were made from

    void BindCopyRun();
    void ShowReport();
    void AbandonRun();
    // The selection as the run started: the run reads it by position.
    std::vector<std::string> CopyList;
    photocopy::FetchedPhoto InFlight;
    QTimer* StopWait = nullptr;
    // A connector that still owes the reply to a command of an abandoned run.
    wm::HWND AbandonedTo;
    void StartConnector();
    wm::LRESULT WindowProcedure(const wm::Message& message);

    std::unique_ptr<wm::Window> Endpoint;
    std::vector<long long> StartedConnectors;  // process ids
    QSocketNotifier* EndpointNotifier = nullptr;
    int RepliesInHand = 0;  // connector replies being handled now
    bool Closed = false;
};
