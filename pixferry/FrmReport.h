// The dialog that reports a finished copy run and offers to open the backup
// folder. One instance lives as long as the program; it is hidden between runs.
#pragma once

#include <functional>
#include <string>

#include <QDialog>

#include "controls/TDaxButton.h"
#include "controls/TDaxButtonSmall.h"
#include "controls/TSunImage.h"

class QLabel;
class TFormMain;

class TFormReport : public QDialog {
public:
    explicit TFormReport(TFormMain& mainForm);
    ~TFormReport() override;

    // The folder "Open Directory" opens; set right before each showing.
    std::string TargetFolder;

    // Shows the dialog modally; returns when it is closed.
    int ShowModal();

    void FormCreate();
    void FormShow();
    void ApplyInterfaceTexts();
    void OpenDirClick();
    void CloseButtonClick();
    void DaxButtonSmall1Click();
    void DaxButtonSmall2Click();
    void DaxButtonSmall3Click();
    void SunImage3MouseMove(Qt::MouseButtons buttons);

    // How a folder is handed to the desktop's file browser; tests replace it.
    std::function<void(const std::string& folder)> OpenFolder;

    TSunImage* SunImage3 = nullptr;
    TSunImage* SunImage1 = nullptr;
    TSunImage* SunImage4 = nullptr;
    TSunImage* SunImage2 = nullptr;
    TSunImage* SunImage5 = nullptr;
    TSunImage* SunImage9 = nullptr;
    TSunImage* SunImage10 = nullptr;
    TSunImage* ImageB1 = nullptr;
    TSunImage* ImageB2 = nullptr;
    TSunImage* ImageB3 = nullptr;
    QLabel* Label1 = nullptr;
    TDaxButton* OpenDir = nullptr;
    TDaxButton* CloseButton = nullptr;
    TDaxButtonSmall* DaxButtonSmall1 = nullptr;
    TDaxButtonSmall* DaxButtonSmall3 = nullptr;
    TDaxButtonSmall* DaxButtonSmall2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TFormMain& MainForm;
};

// The program's one report dialog, while it exists.
extern TFormReport* FormReport;
