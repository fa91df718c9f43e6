#pragma once
// The "Tip of the Day" dialog: one hint at a time from "tips.txt", a check
// box for showing it at start-up, "Next Tip" and "Close".
//
// Making the dialog already reads the next tip, and destroying it stores
// where reading stopped (profile section "Tip", value "FilePos"), so every
// start-up moves on by one tip whether the dialog is shown or not. A tips
// file with another creation time ("TimeStamp") starts again at its first
// tip. "Close" stores the check box ("StartUp" = 1 when unchecked, 0 when
// checked); Escape and the close box store nothing.

#include "ui/sheets/TipsFile.h"

#include <QDialog>

#include <functional>
#include <string>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QSettings;

struct TipDialogOptions
{
    // The tips file; empty: FindTipsFile().
    std::string tipsFile;
    // The profile; null: the program's (Profile::Settings()).
    QSettings* profile = nullptr;
    // Shows a reading trouble to the user; null: a message box.
    std::function<void(const QString&)> reportError;
};

class CTipDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CTipDialog(QWidget* parent = nullptr, TipDialogOptions options = TipDialogOptions());
    ~CTipDialog() override;

    // "tips.txt" in the working folder when there is one there, else the copy
    // shipped with the program (beside the executable, or in
    // ../share/tamberly from it); "tips.txt" when none is found.
    static std::string FindTipsFile();

    bool GetShowAtStartup() const { return showAtStartup; }
    // The current tip with its line feed; empty when the file holds none.
    const std::string& GetTipText() const { return tipText; }
    bool IsTipsFileOpen() const { return tipsFile.IsOpen(); }

    // "Next Tip": reads the next tip and shows it.
    void ReadNextTip();
    // "Close": stores the check box, then closes with Accepted.
    void accept() override;

    QCheckBox* GetStartupCheck() const { return startupCheck; }
    QPushButton* GetNextButton() const { return nextButton; }
    QPushButton* GetCloseButton() const { return closeButton; }
    QLabel* GetTipLabel() const { return tipLabel; }

protected:
    // The white tip area with the bulb and "Did you know...".
    void paintEvent(QPaintEvent* event) override;

private:
    QSettings& Settings() const;
    void ReportTrouble();
    void ShowTip();

    int showAtStartup = 0;
    std::string tipText;
    CTipsFile tipsFile;

    TipDialogOptions options;
    bool noTips = false;
    QFrame* tipFrame;
    QLabel* tipLabel;
    QCheckBox* startupCheck;
    QPushButton* nextButton;
    QPushButton* closeButton;
};
