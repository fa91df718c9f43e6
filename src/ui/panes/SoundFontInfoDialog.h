#pragma once
// Shows the six INFO texts of a SoundFont bank file, read-only, on one
// "&Info" tab, with the caption "Info on '<file title>'". The caller fills
// the texts (bytes as the file holds them) and the path, then runs the
// dialog; nothing entered in it is used.

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

    QTabWidget* GetTabs() const { return tabs; }
    QLineEdit* GetNameEdit() const { return nameEdit; }
    QLineEdit* GetProductEdit() const { return productEdit; }
    QLineEdit* GetDateEdit() const { return dateEdit; }
    QLineEdit* GetEngineerEdit() const { return engineerEdit; }
    QLineEdit* GetCopyrightEdit() const { return copyrightEdit; }
    QPlainTextEdit* GetCommentEdit() const { return commentEdit; }

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
    bool initialized = false;
};
