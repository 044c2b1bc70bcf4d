// The copy run: one photo after another, each driven by the connector's reply.
#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include "CommandText.h"
#include "FileUtil.h"
#include "FrmMain.h"
#include "FrmReport.h"
#include "InterfaceTexts.h"
#include "LogClass.h"
#include "MessageThread.h"

void TFormMain::CopyOutPhotoClick() {
    if (!DeviceReady) {
        ShowMessage(GetInterfaceText(itext::ConnectionLostBox));
        return;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(BackupPath, ec)) {
        const auto chosen = BrowseForFolder(BackupPath);
        if (!chosen) return;
        Path->setText(Q(*chosen));
        BackupPath = Path->text().toStdString();
    }
    if (CopyInProgress) return;
    if (!PhotoReader || PhotoReader->SelectedPhotos.empty()) {
        ShowMessage(GetInterfaceText(itext::NothingSelected));
        return;
    }
    CopyInProgress = true;
    StopRequested = false;
    CopyList = PhotoReader->SelectedPhotos;
    // The context menu's items follow the main menu's.
    StopCopyPhoto->setEnabled(true);
    MenuItem2->setEnabled(true);
    CopyOutPhoto->setEnabled(false);
    MenuItem1->setEnabled(false);
    ButtonCopy->setText(Q(GetInterfaceText(itext::Stop)));
    CopyIndex = 0;
    CopyNextPhoto();
}

void TFormMain::ButtonCopyClick() {
    // A disabled item does not run its handler.
    (CopyInProgress ? StopCopyPhoto : CopyOutPhoto)->trigger();
}

void TFormMain::StopCopyPhotoClick() {
    if (!CopyInProgress) return;
    StopRequested = true;
    // The photo in flight is finished when its reply comes; a reply that never
    // comes must not keep the run going for ever.
    if (!StopWait->isActive()) StopWait->start(StopWaitMs);
}

void TFormMain::CopyNextPhoto() {
    if (static_cast<std::size_t>(CopyIndex) >= CopyList.size()) return;
    wm::HWND target = ConnectorWindow();
    if (!target) {
        // Nobody to carry the command out: the run cannot go on.
        ShowStatus(GetInterfaceText(itext::ConnectionLost));
        EndCopy();
        return;
    }
    if (AbandonedTo && !(AbandonedTo == target && wm::IsWindow(AbandonedTo))) AbandonedTo = wm::HWND();
    const std::string entry = CopyList[CopyIndex];
    TMessageThread thread;
    thread.SetTargetWindow(target);
    thread.SetSenderWindow(Handle());
    if (LibraryMode) {
        const std::int32_t id = static_cast<std::int32_t>(px::strtoint(entry).value_or(0));
        ++CopyIndex;
        std::string devicePath;
        std::int32_t offset = 0, size = 0;
        std::uint16_t vert = 0, horz = 0;
        PhotoReader->GetImageSource(id, photocopy::ResolutionCode(BackupResolution), devicePath, offset, size, vert, horz);
        InFlight = {entry, size, PhotoReader->FullResolutionFound, PhotoReader->FullResolutionExt, vert, horz};
        if (photocopy::ResolutionCode(BackupResolution) == TiPad::CodeFullSize && !InFlight.FullSize) {
            // No full-size picture: the largest stored thumbnail instead.
            for (std::int32_t code : photocopy::FallbackCodes) {
                PhotoReader->GetImageSource(id, code, devicePath, offset, size, vert, horz);
                if (!devicePath.empty()) break;
            }
            InFlight = {entry, size, false, {}, vert, horz};
            TLogClass::WriteLog(ProgramFolder, "CopyNextPhoto: photo " + entry + " has no full-size picture; " +
                                                   (devicePath.empty() ? "it has no picture at all"
                                                                       : "its largest thumbnail is copied"));
        }
        VertPadding = vert;
        HorzPadding = horz;
        const std::string local = ProgramFolder + "adbb.ant";
        // Whatever an earlier fetch left must never pass for this photo.
        std::error_code ec;
        std::filesystem::remove(local, ec);
        thread.SetKind(std::string(px::KindByteRange));
        thread.SetCommand(px::ByteRangeCommand(devicePath, offset, size));
        thread.SetLocalPath(local);
        thread.Resume();
        ShowStatus(photocopy::ProgressText(CopyIndex, CopyList.size(), true));
    } else {
        const photocopy::CameraPaths paths = photocopy::CameraCommandPaths(BackupPath, entry);
        thread.SetKind(std::string(px::KindCameraPhoto));
        thread.SetCommand(paths.Device);
        thread.SetLocalPath(paths.Local);
        thread.Resume();
        ++CopyIndex;
        ShowStatus(photocopy::ProgressText(CopyIndex, CopyList.size(), false));
    }
}

void TFormMain::GenerateOnePhoto() {
    if (!LibraryMode || CopyIndex <= 0) return;
    const std::string error = photocopy::MakeOutputPhoto(ProgramFolder + "adbb.ant", BackupPath, InFlight, BackupFormat);
    if (!error.empty()) TLogClass::WriteLog(ProgramFolder, "GenerateOnePhoto:" + error);
}

void TFormMain::CopyPhotoDone() {
    if (!DeviceReady) return;
    if (AbandonedTo) {
        // The late reply of a run that was given up: it finishes nothing now.
        AbandonedTo = wm::HWND();
        return;
    }
    if (!CopyInProgress) return;
    if (CopyList.size() == static_cast<std::size_t>(CopyIndex)) {
        ShowStatus(GetInterfaceText(itext::CopyFinished));
        GenerateOnePhoto();
        EndCopy();
        ShowReport();
        return;
    }
    GenerateOnePhoto();
    if (StopRequested) {
        ShowStatus(GetInterfaceText(itext::CopyTerminated));
        EndCopy();
        ShowReport();
        return;
    }
    CopyNextPhoto();
}

void TFormMain::AbandonRun() {
    if (!CopyInProgress || !StopRequested) return;
    AbandonedTo = ConnectorHandle;
    ShowStatus(GetInterfaceText(itext::CopyTerminated));
    EndCopy();
    ShowReport();
}

void TFormMain::EndCopy() {
    CopyInProgress = false;
    StopWait->stop();
    StopCopyPhoto->setEnabled(false);
    MenuItem2->setEnabled(false);
    CopyOutPhoto->setEnabled(true);
    MenuItem1->setEnabled(true);
    ButtonCopy->setText(Q(GetInterfaceText(itext::Copy)));
}

void TFormMain::ShowReport() {
    if (!FormReport) return;
    FormReport->TargetFolder = BackupPath;
    FormReport->ShowModal();
}

void TFormMain::ButtonOpenClick() {
    const auto chosen = BrowseForFolder(BackupPath);
    if (!chosen) return;
    Path->setText(Q(*chosen));
    BackupPath = Path->text().toStdString();
}

void TFormMain::RadioResolutionClick() {
    TXP_RadioBox* radios[] = {RadioHigh, RadioMid, RadioLow, RadioLowest};
    for (int i = 0; i < 4; ++i)
        if (radios[i]->isChecked()) {
            BackupResolution = i + 1;
            return;
        }
}

void TFormMain::RadioFileFormatClick() {
    if (RadioBMP->isChecked()) BackupFormat = 1;
    if (RadioJpeg->isChecked()) BackupFormat = 2;
}

void TFormMain::BindCopyRun() {
    ShowMessage = [this](const std::string& text) {
        QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), Q(text), QMessageBox::Ok, this);
        box.exec();
    };
    BrowseForFolder = [this](const std::string& initial) -> std::optional<std::string> {
        const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Select Folder"), Q(initial));
        // Nothing, or a place without a path in the file system, counts as a cancel.
        if (folder.isEmpty()) return std::nullopt;
        return folder.toStdString();
    };
    StopWait = new QTimer(this);
    StopWait->setSingleShot(true);
    connect(StopWait, &QTimer::timeout, this, [this] { AbandonRun(); });
    for (QAction* copy : {CopyOutPhoto, MenuItem1}) connect(copy, &QAction::triggered, this, [this] { CopyOutPhotoClick(); });
    for (QAction* stop : {StopCopyPhoto, MenuItem2}) connect(stop, &QAction::triggered, this, [this] { StopCopyPhotoClick(); });
    connect(ButtonCopy, &QAbstractButton::clicked, this, [this] { ButtonCopyClick(); });
    connect(ButtonOpen, &QAbstractButton::clicked, this, [this] { ButtonOpenClick(); });
    for (TXP_RadioBox* r : {RadioHigh, RadioMid, RadioLow, RadioLowest}) r->OnClick = [this] { RadioResolutionClick(); };
    for (TXP_RadioBox* r : {RadioJpeg, RadioBMP}) r->OnClick = [this] { RadioFileFormatClick(); };
}
