#pragma once
// One page of a property sheet: its controls, the data they edit, and the
// modified mark that enables the sheet's Apply button.
//
// A page moves its data between its members and its controls in
// DoDataExchange: towards the controls when the sheet opens, from them on
// Apply and OK. Pages are owned by their sheet (Qt parent).

#include <QWidget>

class CPropertyPage : public QWidget
{
    Q_OBJECT

public:
    // title is the tab's text (may carry an & mnemonic).
    explicit CPropertyPage(const QString& title, QWidget* parent = nullptr);

    const QString& GetTitle() const { return title; }

    // Data exchange: saveAndValidate false fills the controls, true takes
    // the data from them. False when the page refuses (the sheet stays open).
    bool UpdateData(bool saveAndValidate) { return DoDataExchange(saveAndValidate); }

    // The modified mark: the sheet's Apply button is enabled while a page has it.
    void SetModified(bool modified = true);
    bool IsModified() const { return modified; }

Q_SIGNALS:
    void ModifiedChanged(bool modified);

protected:
    virtual bool DoDataExchange(bool saveAndValidate) = 0;

private:
    QString title;
    bool modified = false;
};
