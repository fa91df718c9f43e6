#pragma once
// The "Info" page of the bank information sheet: the document's free text in
// one multi-line edit. The text keeps its line breaks as the stored
// documents do (carriage return and line feed pairs); the edit works with
// plain line feeds. A text the user did not change comes back byte for byte.
//
// Enter presses the sheet's default button (OK); Ctrl+Enter breaks the line.

#include "ui/sheets/PropertyPage.h"

#include <string>

class QPlainTextEdit;

class CTmbInfoPage : public CPropertyPage
{
    Q_OBJECT

public:
    explicit CTmbInfoPage(QWidget* parent = nullptr);

    const std::string& GetText() const { return text; }
    void SetText(std::string value) { text = std::move(value); }
    QPlainTextEdit* GetEdit() const { return edit; }

    // Stored text (CR LF line breaks) as the edit shows it, and back.
    static QString StoredToEdit(const std::string& stored);
    static std::string EditToStored(const QString& shown);

protected:
    bool DoDataExchange(bool saveAndValidate) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::string text;
    QString shownText; // the edit's text right after it was filled
    QPlainTextEdit* edit;
};
