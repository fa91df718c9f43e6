#pragma once
// A property sheet: a dialog with a caption, its pages on tabs and the
// buttons OK, Cancel and Apply. The sheets work on live data: Apply and OK
// carry the pages' data out at once (each page's data exchange from its
// controls); whoever runs a sheet keeps what is needed to undo an Apply
// after Cancel.
//
// - Opening (the first show) fills every page's controls.
// - Apply is enabled while some page is marked modified; pressing it takes
//   the data of every page and clears the marks.
// - OK takes the data of every page, then closes with Accepted; a page that
//   refuses keeps the sheet open.
// - Cancel, Escape and the close box close with Rejected and take nothing.

#include <QDialog>

#include <functional>
#include <vector>

class CPropertyPage;
class QDialogButtonBox;
class QPushButton;
class QTabWidget;

class CPropertySheet : public QDialog
{
    Q_OBJECT

public:
    explicit CPropertySheet(const QString& caption, QWidget* parent = nullptr);

    // The sheet owns page from now on; the first page added is the one shown.
    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(pages.size()); }
    CPropertyPage* GetPage(int index) const;

    QPushButton* GetOkButton() const;
    QPushButton* GetCancelButton() const;
    QPushButton* GetApplyButton() const;

    // Fills the pages' controls unless that was done already (the first show does it).
    void InitPages();
    // The Apply button's work; false when a page refused its data.
    bool Apply();
    void accept() override;

    // A sheet run either modally or, with a driver (tests), shown without a
    // modal loop and handed to the driver, which ends it through its buttons
    // (a sheet still open afterwards is cancelled). True when it ended with OK.
    using Driver = std::function<void(CPropertySheet&)>;
    static bool Run(CPropertySheet& sheet, const Driver& driver);

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool TakePages();
    void UpdateApplyButton();

    QTabWidget* tabs;
    QDialogButtonBox* buttons;
    std::vector<CPropertyPage*> pages;
    bool pagesInitialised = false;
};
