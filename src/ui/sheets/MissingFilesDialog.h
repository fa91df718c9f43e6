#pragma once
// The "Missing Sound Files" window: after a document was opened (or a .shb
// imported) with files that were not found, one row per stored path with
// the patches and bank files that need it and what was tried. "Search
// Folder..." relinks every missing file found by name below the folder the
// user picks; "Locate..." relinks the selected row to the file the user
// picks. The document does the relinking (CTamberlyDoc::RelinkFile); the
// window only lists and forwards, and lists again afterwards.

#include <QDialog>

#include <functional>

class CTamberlyDoc;
class QPushButton;
class QTreeWidget;

class CMissingFilesDialog : public QDialog
{
    Q_OBJECT

public:
    // chooseFolder and chooseFile ask the user (empty: cancelled); the
    // program passes file dialogs, tests scripted answers. chooseFile gets
    // the stored path of the row.
    CMissingFilesDialog(CTamberlyDoc& document, std::function<QString()> chooseFolder,
                        std::function<QString(const QString& stored)> chooseFile, QWidget* parent = nullptr);

    QTreeWidget* GetList() const { return list; }
    QPushButton* GetSearchButton() const { return searchButton; }
    QPushButton* GetLocateButton() const { return locateButton; }

    // The button handlers, callable from tests.
    void OnSearchFolder();
    void OnLocate();

private:
    void Fill();

    CTamberlyDoc& document;
    std::function<QString()> chooseFolder;
    std::function<QString(const QString&)> chooseFile;
    QTreeWidget* list;
    QPushButton* searchButton;
    QPushButton* locateButton;
};
