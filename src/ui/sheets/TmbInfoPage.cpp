#include "ui/sheets/TmbInfoPage.h"

#include "ui/UiText.h"

#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>

CTmbInfoPage::CTmbInfoPage(QWidget* parent)
    : CPropertyPage(UiText(IDS_INFO_PAGE_TITLE), parent), edit(new QPlainTextEdit(this))
{
    edit->setTabChangesFocus(true);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    edit->setMinimumSize(DialogUnitsX(*this, 194), DialogUnitsY(*this, 136));
    edit->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(DialogUnitsX(*this, 7), DialogUnitsY(*this, 7), DialogUnitsX(*this, 7),
                               DialogUnitsY(*this, 7));
    layout->addWidget(edit);
}

QString CTmbInfoPage::StoredToEdit(const std::string& stored)
{
    QString shown = StoredToUi(stored);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

std::string CTmbInfoPage::EditToStored(const QString& shown)
{
    QString stored = shown;
    stored.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    stored.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return stored.toStdString();
}

bool CTmbInfoPage::DoDataExchange(bool saveAndValidate)
{
    if (!saveAndValidate)
    {
        edit->setPlainText(StoredToEdit(text));
        shownText = edit->toPlainText();
        return true;
    }
    const QString now = edit->toPlainText();
    // Untouched, the text stays as it was stored (also bytes of an old
    // document that are no UTF-8, and line breaks of other kinds).
    if (now != shownText)
    {
        text = EditToStored(now);
        shownText = now;
    }
    return true;
}

bool CTmbInfoPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edit && event->type() == QEvent::KeyPress)
    {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        {
            const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
            if (modifiers == Qt::ControlModifier)
            {
                edit->insertPlainText(QStringLiteral("\n"));
                return true;
            }
            if (modifiers == Qt::NoModifier)
            {
                // The dialog presses its default button for a plain Enter.
                if (auto* dialog = qobject_cast<QDialog*>(window()))
                {
                    QKeyEvent press(QEvent::KeyPress, key->key(), key->modifiers());
                    QCoreApplication::sendEvent(dialog, &press);
                }
                return true;
            }
        }
    }
    return CPropertyPage::eventFilter(watched, event);
}
