#include "ui/sheets/HelpWindow.h"

#include "platform/StringTable.h"
#include "ui/UiText.h"
#include "ui/sheets/ManualText.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include <utility>

namespace
{
// Dialogs that name no part themselves.
constexpr std::pair<const char*, const char*> kDialogTopics[] = {
    {"CMidiKeyboardDlg", "The MIDI keyboard"},
    {"CSettingsDialog", "Dialogs"},
    {"CPatchEditSheet", "Dialogs"},
    {"CFxEditSheet", "Dialogs"},
    {"CTmbInfoSheet", "Dialogs"},
    {"CMissingFilesDialog", "Dialogs"},
    {"CSoundFontInfoDialog", "Dialogs"},
    {"CTipDialog", "Dialogs"},
};
} // namespace

CHelpWindow::CHelpWindow(QWidget* parent) : QDialog(parent), browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(UiText(IDS_HELP_TITLE));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose, false);
    browser->setOpenExternalLinks(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser, 1);
    layout->addWidget(buttons);
    // Lines of the manual's width without wrapping, on a screen that has room.
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    resize(60 * em, 40 * fontMetrics().height());
}

QString CHelpWindow::FindManual()
{
    const QDir programFolder(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {programFolder.absoluteFilePath(QStringLiteral("manual.md")),
          programFolder.absoluteFilePath(QStringLiteral("../share/tamberly/manual.md"))})
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(candidate);
    return {};
}

QString CHelpWindow::TopicFor(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget())
    {
        const QString own = w->property("helpTopic").toString();
        if (!own.isEmpty())
            return own;
        for (const auto& [className, topic] : kDialogTopics)
            if (w->inherits(className))
                return QString::fromLatin1(topic);
    }
    return {};
}

bool CHelpWindow::Load(const QString& path)
{
    QString text;
    if (!Manual::Read(path, text))
    {
        browser->setPlainText(UiText(IDS_FAILED_TO_LAUNCH_HELP));
        return false;
    }
    browser->setMarkdown(text);
    return true;
}

bool CHelpWindow::ShowTopic(const QString& topic)
{
    const QTextBlock heading = Manual::FindHeading(*browser->document(), topic);
    if (!heading.isValid())
    {
        browser->verticalScrollBar()->setValue(0);
        return false;
    }
    // The heading at the top of the view, not merely somewhere in it.
    browser->setTextCursor(QTextCursor(heading));
    browser->verticalScrollBar()->setValue(browser->verticalScrollBar()->maximum());
    browser->ensureCursorVisible();
    return true;
}

QString CHelpWindow::GetShownTopic() const
{
    const QTextCursor top = browser->cursorForPosition(QPoint(0, 0));
    QString topic;
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next())
    {
        if (block.position() > top.position())
            break;
        if (block.blockFormat().headingLevel() == 2)
            topic = block.text().trimmed();
    }
    return topic;
}
