// Settings, interface texts, the status line, the access log and the site links.
#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QStandardPaths>
#include <QUrl>

#include "ConnectorLink.h"
#include "FrmMain.h"
#include "InterfaceTexts.h"
#include "LogClass.h"


void TFormMain::ReadRegistry() {
    // Known before the registry is touched, so an early error is logged in the program folder.
    ProgramFolder = ProgramFolderOf(QCoreApplication::applicationFilePath().toStdString());
    LoadSettings(*this, UserRegistryPath(),
                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString());
}

void TFormMain::WriteRegistry() { SaveSettings(*this, UserRegistryPath()); }

void TFormMain::LoadLanguageTexts() { *LanguageTexts = LoadLanguageFile(ProgramFolder, LanguageCode); }

void TFormMain::ApplyInterfaceTexts() {
    auto text = [](TextId t) { return Q(GetInterfaceText(t)); };
    PanelSelect->setText(text(itext::File));
    ButtonCopy->setText(text(itext::Copy));
    Notifier->setText(text(itext::WaitingForiPad));
    GroupAlbum->setTitle(text(itext::SelectAlbums));
    Buttonlibrary->setText(text(itext::PhotoLibrary));
    Buttoncamera->setText(text(itext::SavedPhotos));
    GroupCopyPath->setTitle(text(itext::BackupPath));
    ButtonOpen->setText(text(itext::Browse));
    GroupBoxRes->setTitle(text(itext::BackupResolution));
    GroupBoxFF->setTitle(text(itext::BackupFormat));
    MenuItem1->setText(text(itext::Copy));
    MenuItem2->setText(text(itext::Stop));
    MenuItem3->setText(text(itext::SelectAll));
    MenuItem4->setText(text(itext::InvertSelect));
    MenuItem5->setText(text(itext::ClearSelect));
    CopyOutPhoto->setText(text(itext::Copy));
    StopCopyPhoto->setText(text(itext::Stop));
    SelectAll->setText(text(itext::SelectAll));
    InvertSelect->setText(text(itext::InvertSelect));
    ClearSelect->setText(text(itext::ClearSelect));
    CheckUpdate1->setText(text(itext::CheckUpdate));
    Help1->setText(text(itext::Help));
}

void TFormMain::ShowStatus(std::string_view text) { Notifier->setText(Q(StatusText(text))); }

void TFormMain::OpenHowToPage() {
    QDesktopServices::openUrl(QUrl(Q(SiteAddress + std::string(HowToPage))));
}

void TFormMain::Label3Click() {
    // The target is the label's hint; it has none until an update answer gives one.
    const QString target = Label3->toolTip();
    if (!target.isEmpty()) QDesktopServices::openUrl(QUrl(target));
}
