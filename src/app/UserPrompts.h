#pragma once
// The questions and messages the program puts to the user: the framework's
// message boxes and file choosers. The program uses CDialogPrompts; tests give
// scripted answers instead of opening modal windows.

#include <QString>

class CTamberlyDoc;
class QWidget;

class IUserPrompts
{
public:
    enum class Answer
    {
        Yes,
        No,
        Cancel,
    };

    virtual ~IUserPrompts() = default;
    // A failure the user has to acknowledge (OK button).
    virtual void ShowError(QWidget* parent, const QString& text) = 0;
    // The save prompt for a modified document: Yes, No or Cancel.
    virtual Answer AskYesNoCancel(QWidget* parent, const QString& text) = 0;
    // An existing file; empty on Cancel. filter is in Qt's form ("Text (*.a *.b);;...").
    virtual QString ChooseOpenFile(QWidget* parent, const QString& title, const QString& filter) = 0;
    // A file to write; proposed is the name offered first. Empty on Cancel.
    virtual QString ChooseSaveFile(QWidget* parent, const QString& title, const QString& filter,
                                   const QString& proposed) = 0;
    // The "Missing Sound Files" window over document, until the user closes it.
    virtual void ShowMissingFiles(QWidget* parent, CTamberlyDoc& document) = 0;
};

// Message boxes and file dialogs.
class CDialogPrompts final : public IUserPrompts
{
public:
    void ShowError(QWidget* parent, const QString& text) override;
    Answer AskYesNoCancel(QWidget* parent, const QString& text) override;
    QString ChooseOpenFile(QWidget* parent, const QString& title, const QString& filter) override;
    QString ChooseSaveFile(QWidget* parent, const QString& title, const QString& filter,
                           const QString& proposed) override;
    void ShowMissingFiles(QWidget* parent, CTamberlyDoc& document) override;
};
