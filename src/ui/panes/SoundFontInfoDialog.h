#pragma once
// Shows the six INFO texts of a SoundFont bank file, read-only, on one
// "&Info" tab, with the caption "Info on '<file title>'"; for a SoundFont 2
// or 3 bank also its version, sound engine, ROM and software (a SoundFont 1
// bank's dialog stays as it always was). The caller fills the texts (bytes
// as the file holds them) and the path, then runs the dialog; nothing
// entered in it is used.

#include <QDialog>

#include <string>

class CSoundFontReader;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

class CSoundFontInfoDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CSoundFontInfoDialog(QWidget* parent = nullptr);

    // The reader's six texts.
    void SetTexts(const CSoundFontReader& reader);

    // Puts the texts into the fields and the file title into the caption.
    // Runs by itself when the dialog is first shown.
    void InitDialog();

    std::string name;
    std::string product;
    std::string creationDate;
    std::string engineer;
    std::string copyright;
    std::string comment;
    std::string path; // the file's full path, for the caption
    // Version 2 and 3 banks; version empty for a version 1 bank.
    std::string version;
    std::string soundEngine;
    std::string rom;
    std::string software;

    QTabWidget* GetTabs() const { return tabs; }
    QLineEdit* GetNameEdit() const { return nameEdit; }
    QLineEdit* GetProductEdit() const { return productEdit; }
    QLineEdit* GetDateEdit() const { return dateEdit; }
    QLineEdit* GetEngineerEdit() const { return engineerEdit; }
    QLineEdit* GetCopyrightEdit() const { return copyrightEdit; }
    QPlainTextEdit* GetCommentEdit() const { return commentEdit; }
    QLineEdit* GetVersionEdit() const { return versionEdit; }
    QLineEdit* GetEngineEdit() const { return engineEdit; }
    QLineEdit* GetRomEdit() const { return romEdit; }
    QLineEdit* GetSoftwareEdit() const { return softwareEdit; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QTabWidget* tabs = nullptr;
    QLineEdit* nameEdit = nullptr;
    QLineEdit* productEdit = nullptr;
    QLineEdit* dateEdit = nullptr;
    QLineEdit* engineerEdit = nullptr;
    QLineEdit* copyrightEdit = nullptr;
    QPlainTextEdit* commentEdit = nullptr;
    QLineEdit* versionEdit = nullptr;
    QLineEdit* engineEdit = nullptr;
    QLineEdit* romEdit = nullptr;
    QLineEdit* softwareEdit = nullptr;
    class QFormLayout* form = nullptr;
    bool initialized = false;
};
