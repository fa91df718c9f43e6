#pragma once
// The "Properties" page of the patch properties sheet: name, target bank and
// patch, source file and the patch inside it, edited on a working copy of a
// document patch. The control handlers keep the working copy current and the
// page marked modified exactly while it differs from the document's patch;
// taking the page's data (Apply, OK) hands the working copy to the
// document's ReplacePatch, which carries it to the card.
//
// The pointers are set by whoever runs the sheet (SetPatch) and must stay
// valid while the sheet runs.

#include "ui/sheets/PropertyPage.h"

#include <functional>
#include <string>

class CPatchItem;
class CTamberlyDoc;
class CUpDownCtrl;
class QComboBox;
class QLineEdit;
class QPushButton;

class CPatchEditPage1 : public CPropertyPage
{
    Q_OBJECT

public:
    // Shows a file chooser and returns the chosen file's full path, or an
    // empty text when the user cancels. filter is in Qt's "a (*.x);;b (*.y)" form.
    using FileChooser =
        std::function<QString(QWidget* parent, const QString& initial, const QString& filter)>;

    explicit CPatchEditPage1(QWidget* parent = nullptr);

    void SetPatch(CPatchItem* working, CPatchItem* original, CTamberlyDoc* doc);
    CPatchItem* GetWorkingPatch() const { return workingPatch; }
    // The chooser Browse runs; the default is the desktop's file-open dialog.
    void SetFileChooser(FileChooser chooser) { fileChooser = std::move(chooser); }

    // Refills the source-patch list from the patches path offers: "None"
    // (number -1), then "[nnn] name" of each in text order. A file that
    // cannot be read leaves "None" alone. Nothing is selected afterwards.
    // True when the list holds more than "None".
    bool FillSourcePatches(const std::string& path);
    // Selects the first entry standing for number; none such leaves the selection as it is.
    void SelectSourcePatch(int number);
    // Marks the page modified exactly when the working copy differs from the document's patch.
    void UpdateModified();
    // The Browse button: a new file from the chooser becomes the source file.
    void Browse();

    QLineEdit* GetNameEdit() const { return nameEdit; }
    QLineEdit* GetTargetBankEdit() const { return bankEdit; }
    QLineEdit* GetTargetPatchEdit() const { return patchEdit; }
    CUpDownCtrl* GetTargetBankUpDown() const { return bankUpDown; }
    CUpDownCtrl* GetTargetPatchUpDown() const { return patchUpDown; }
    QLineEdit* GetSourceFileEdit() const { return sourceFileEdit; }
    QPushButton* GetBrowseButton() const { return browseButton; }
    QComboBox* GetSourcePatchList() const { return sourcePatchList; }

protected:
    bool DoDataExchange(bool saveAndValidate) override;
    // Leaving an edit (focus out) takes its number or path.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnNameEdited(const QString& text);
    void OnTargetEditLeft(QLineEdit* edit);
    void OnTargetStep(QLineEdit* edit, int position, int delta);
    void OnSourceFileLeft();
    void OnSourcePatchChosen(int index);
    void TakeSourceFile(const std::string& path);
    void ShowTargets();
    // A press of Enter leaves no edit: what was typed in the focused one is
    // taken as if the user had left it.
    void TakeFocusedEdit();

    CPatchItem* workingPatch = nullptr;
    CPatchItem* originalPatch = nullptr;
    CTamberlyDoc* document = nullptr;
    FileChooser fileChooser;

    QLineEdit* nameEdit;
    QLineEdit* bankEdit;
    CUpDownCtrl* bankUpDown;
    QLineEdit* patchEdit;
    CUpDownCtrl* patchUpDown;
    QLineEdit* sourceFileEdit;
    QPushButton* browseButton;
    QComboBox* sourcePatchList;
};
