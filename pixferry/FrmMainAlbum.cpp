// The album view: the two photo sources, the album list, and the thumbnail
// grid with its selections.
#include <chrono>
#include <cmath>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTimer>
#include <QWheelEvent>

#include "CommandText.h"
#include "FrmMain.h"
#include "InterfaceTexts.h"
#include "SavedPhotos.h"

namespace {

QPixmap ToPixmap(const TBitmap24& bitmap) {
    if (bitmap.Empty()) return {};
    const QImage view(bitmap.Pixels.data(), bitmap.Width, bitmap.Height, bitmap.Width * 3, QImage::Format_BGR888);
    return QPixmap::fromImage(view);  // a copy: the bitmap goes
}

// While a build hands on the window's messages one per cell, the event loop
// must not hand them all on at once.
class NotifierPause {
public:
    explicit NotifierPause(QSocketNotifier* notifier) : notifier_(notifier), was_(notifier && notifier->isEnabled()) {
        if (notifier_) notifier_->setEnabled(false);
    }
    ~NotifierPause() {
        if (notifier_) notifier_->setEnabled(was_);
    }
    NotifierPause(const NotifierPause&) = delete;
    NotifierPause& operator=(const NotifierPause&) = delete;

private:
    QSocketNotifier* notifier_;
    bool was_;
};

// How often a long build lets the window repaint itself (and a close through).
constexpr auto RepaintInterval = std::chrono::milliseconds(40);

}  // namespace

void TFormMain::ButtonlibraryClick(const QObject* sender) {
    if (CopyInProgress) return;
    const bool library = sender && sender->objectName() == QLatin1String("Buttonlibrary");
    if (library == LibraryMode) return;
    LibraryMode = library;
    StyleSourceButton(Buttonlibrary, library);
    StyleSourceButton(Buttoncamera, !library);
    // Saved Photos are copied as the device stores them: no format, no size.
    for (TXP_RadioBox* radio : {RadioBMP, RadioJpeg, RadioHigh, RadioMid, RadioLow, RadioLowest})
        radio->setEnabled(library);
    if (!library) {
        ShowSavedPhotos();
        return;
    }
    AlbumsListBox->clear();
    if (PhotoReader)
        for (const std::string& name : PhotoReader->AlbumNames) AlbumsListBox->addItem(Q(name));
    AlbumsListBox->setCurrentRow(0);
    ShowLibraryAlbum();
}

void TFormMain::AlbumsListBoxClick() {
    if (CopyInProgress || !DeviceReady || !LibraryMode) return;
    ShowLibraryAlbum();
    ButtonCopy->setFocus();
}

void TFormMain::TimerLoadDataTimer() {
    TimerLoadData->stop();
    if (LibraryMode)
        AlbumsListBoxClick();
    else
        ShowSavedPhotos();
}

void TFormMain::ShowProgress(const std::string& text) {
    ShowStatus(text);
    Notifier->repaint();
}

void TFormMain::EmptyGrid() {
    ++GridBuild;
    AnchorSet = false;
    const std::size_t count = GridCells.size();
    for (std::size_t i = count; i-- > 0;) {
        GridCells.pop_back();
        ShowProgress(GetInterfaceText(itext::WaitingFor) + " " + std::to_string(i) + "/" + std::to_string(count));
    }
    if (Grid) Grid->Clear();
    if (PhotoReader) PhotoReader->SelectedPhotos.clear();
    ImagesBox->Content()->resize(ImagesBox->viewport()->width(), 0);
}

bool TFormMain::AddGridCell(const std::string& key, const QPixmap& picture) {
    if (!Grid->AddCell(key)) return false;
    const TGridCell& placed = (*Grid)[Grid->Count() - 1];
    auto cell = std::make_unique<TSunImage>(ImagesBox->Content());
    cell->setObjectName(Q("Image" + key));
    cell->setGeometry(placed.Left, placed.Top, placed.Width, placed.Height);
    cell->SetPicture(picture);
    QWidget* content = ImagesBox->Content();
    if (content->height() < Grid->ContentHeight()) content->resize(ImagesBox->viewport()->width(), Grid->ContentHeight());
    cell->show();
    GridCells.push_back(std::move(cell));
    return true;
}

void TFormMain::ShowLibraryAlbum() {
    EmptyGrid();
    if (!DeviceReady || !PhotoReader || !Grid) return;
    const std::string hint = GetInterfaceText(itext::ClickSavedPhotos);
    const int row = AlbumsListBox->currentRow();
    if (row < 0) {
        ShowStatus(GetInterfaceText(itext::NoLibraryPhotos));
        AlbumsListBox->clear();
        AlbumsListBox->addItem(Q(hint));
        return;
    }
    for (int i = 0; i < AlbumsListBox->count(); ++i)
        if (AlbumsListBox->item(i)->text().contains(Q(hint))) return;
    if (static_cast<std::size_t>(row) >= PhotoReader->AlbumMembers.size()) return;

    // Copies: a message handed on below may reload the database.
    const std::vector<std::string> members = PhotoReader->AlbumMembers[row];
    const std::string album = AlbumsListBox->item(row)->text().toStdString();
    const std::string reading = GetInterfaceText(itext::ReadingPhotos) + " ";
    const std::string total = "/" + std::to_string(members.empty() ? 0 : members.size() - 1);
    const unsigned build = GridBuild;
    GridFromLibrary = true;

    NotifierPause pause(EndpointNotifier);
    auto repainted = std::chrono::steady_clock::now();
    for (std::size_t k = 1; k < members.size(); ++k) {
        if (Endpoint) Endpoint->DispatchOne();
        if (std::chrono::steady_clock::now() - repainted >= RepaintInterval) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            repainted = std::chrono::steady_clock::now();
        }
        // What was handed on may have rebuilt or emptied the grid, or closed the window.
        if (build != GridBuild || Closed || !PhotoReader) return;
        TBitmap24 bitmap;
        if (const auto id = px::strtoint(members[k])) PhotoReader->ReadThumbnail(static_cast<std::int32_t>(*id), TiPad::Code55, bitmap);
        if (AddGridCell(members[k], ToPixmap(bitmap)) && k < 36) GridCells.back()->repaint();
        ShowProgress(reading + std::to_string(k) + total);
    }
    ImagesBox->viewport()->update();
    ShowStatus(std::to_string(Grid->Count()) + " " + GetInterfaceText(itext::PhotosInAlbum) + " " + album);
}

void TFormMain::ShowSavedPhotos() {
    EmptyGrid();
    if (!DeviceReady || !Grid) return;
    const auto photos = PrepareSavedPhotos(CameraFolder);
    if (!photos) {
        const std::string none = GetInterfaceText(itext::NoSavedPhotos);
        ShowStatus(none);
        AlbumsListBox->clear();
        AlbumsListBox->addItem(Q(none));
        return;
    }
    GridFromLibrary = false;
    for (const TSavedPhoto& photo : *photos) {
        TBitmap24 bitmap;
        LoadSavedPhotoPicture(photo.File, TThumbGrid::CellWidth, bitmap);
        AddGridCell(photo.Key, ToPixmap(bitmap));
    }
    ShowStatus(GetInterfaceText(itext::PhotosInSaved));
    AlbumsListBox->clear();
}

// --- selection

void TFormMain::SelectCell(std::size_t index) {
    if (Grid && index < Grid->Count()) Grid->SelectCell(index);
}

void TFormMain::UnselectCell(std::size_t index) {
    if (Grid && index < Grid->Count()) Grid->UnselectCell(index);
}

int TFormMain::GridScrollPos() const { return ImagesBox->verticalScrollBar()->value(); }

void TFormMain::ToggleAtPoint() {
    if (CopyInProgress || !Grid) return;
    if (!Grid->ToggleAtPoint(EndX, EndY + GridScrollPos())) ClearSelectClick();
}

void TFormMain::SelectByRectangle() {
    if (CopyInProgress || !Grid) return;
    // The anchor where it was taken in the content, wherever the grid has scrolled since.
    Grid->SelectByRectangle(AnchorX, AnchorY + AnchorScrollPos, EndX, EndY + GridScrollPos());
}

void TFormMain::SelectAllClick() {
    // Refused during a copy: the run reads the selection by position.
    if (DeviceReady && !CopyInProgress && Grid) Grid->SelectAll();
}

void TFormMain::InvertSelectClick() {
    if (DeviceReady && !CopyInProgress && Grid) Grid->InvertSelect();
}

void TFormMain::ClearSelectClick() {
    if (DeviceReady && !CopyInProgress && Grid) Grid->ClearSelect();
}

// --- mouse, wheel and scrolling

QPoint TFormMain::GridPoint(const QPointF& global) const {
    // From the screen position, so a press on a cell and one on the background are measured alike.
    return ImagesBox->viewport()->mapFromGlobal(global.toPoint());
}

void TFormMain::SelectToEnd(const QPoint& end) {
    EndX = end.x();
    EndY = end.y();
    // A point, where the anchor was taken, toggles; anything else sweeps a rectangle.
    if (EndX == AnchorX && EndY + GridScrollPos() == AnchorY + AnchorScrollPos)
        ToggleAtPoint();
    else
        SelectByRectangle();
}

void TFormMain::ImagesBoxMouseDown(const QMouseEvent& event) {
    const QPoint at = GridPoint(event.globalPosition());
    if (event.modifiers() & Qt::ShiftModifier) {
        SelectToEnd(at);
    } else if (event.button() != Qt::RightButton) {
        AnchorX = at.x();
        AnchorY = at.y();
        AnchorScrollPos = GridScrollPos();
        AnchorSet = true;
    }
}

void TFormMain::ImagesBoxMouseUp(const QMouseEvent& event) {
    if (!AnchorSet) return;
    SelectToEnd(GridPoint(event.globalPosition()));
    AnchorSet = false;
}

void TFormMain::ImagesBoxVScroll(int position) {
    const int count = static_cast<int>(GridCells.size());
    const int range = ImagesBox->Content()->height();
    if (count == 0 || range <= 0) return;
    const int b = static_cast<int>(std::lround(static_cast<double>(count) * position / range));
    const int first = b > 8 ? b - 8 : b;
    for (int i = std::max(first, 0); i <= std::min(b + 59, count - 1); ++i) GridCells[i]->update();
}

void TFormMain::FormMouseWheel(int delta) {
    ImagesBox->verticalScrollBar()->triggerAction(delta > 0 ? QAbstractSlider::SliderSingleStepSub
                                                            : QAbstractSlider::SliderSingleStepAdd);
}

void TFormMain::ImagesBoxContextMenu(const QPoint& at) {
    // A Saved Photos cell offers the main menu; the grid and Photo Library cells the short one.
    const bool onCell = Grid && Grid->CellAt(at.x(), at.y() + GridScrollPos()) >= 0;
    TSunPopupMenu* menu = onCell && !GridFromLibrary ? PopupMenu : InnerPopupMenu;
    menu->popup(ImagesBox->viewport()->mapToGlobal(at));
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;
    auto* wheel = static_cast<QWheelEvent*>(event);
    // Once per wheel turn: at the deepest widget, not again as it travels to the parents.
    if (widget->childAt(widget->mapFromGlobal(wheel->globalPosition().toPoint()))) return false;
    const QPoint delta = wheel->angleDelta();
    FormMouseWheel(delta.y() != 0 ? delta.y() : delta.x());
    // The grid has had its line; other controls under the pointer scroll as well.
    return widget == ImagesBox || ImagesBox->isAncestorOf(widget);
}
