#include "ui/sheets/MissingFilesDialog.h"

#include "bank/TamberlyDoc.h"
#include "platform/StringTable.h"
#include "platform/TextEncoding.h"
#include "ui/UiText.h"
#include "ui/WaitCursor.h"

#include <QDialogButtonBox>
#include <QHeaderView>

#include <QPushButton>
#include <QStringList>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace
{
// The stored path travels in the row, as bytes: its display text may not
// turn back into the same bytes (Windows-1252 documents).
constexpr int kStoredRole = Qt::UserRole + 1;
// The widest a path or patch column starts, in pixels.
constexpr int kMaxColumnWidth = 380;

QString StoredText(const std::string& bytes)
{
    return QString::fromStdString(StoredTextToDisplay(bytes));
}

QString NeededBy(const CTamberlyDoc::MissingFile& file)
{
    QStringList needs;
    for (const int bank : file.banks)
        needs << QString::fromStdString(FormatString(IDS_BANK_CAPTION, bank, ""));
    for (const CPatchItem* item : file.patches)
        needs << StoredText(item->GetName());
    return needs.join(QStringLiteral(", "));
}

QString Tried(const CTamberlyDoc::MissingFile& file)
{
    QStringList lines;
    if (!file.problem.empty())
        lines << QString::fromStdString(file.problem);
    for (const CPathResolver::Attempt& attempt : file.tried)
        lines << QString::fromStdString(CPathResolver::DescribeAttempt(attempt));
    return lines.join(QStringLiteral("\n"));
}
} // namespace

CMissingFilesDialog::CMissingFilesDialog(CTamberlyDoc& doc, std::function<QString()> folder,
                                         std::function<QString(const QString&)> file, QWidget* parent)
    : QDialog(parent), document(doc), chooseFolder(std::move(folder)), chooseFile(std::move(file))
{
    setWindowTitle(UiText(IDS_MISSING_FILES_TITLE));
    list = new QTreeWidget(this);
    list->setRootIsDecorated(false);
    list->setColumnCount(3);
    list->setHeaderLabels({UiText(IDS_MISSING_COLUMN_PATH), UiText(IDS_MISSING_COLUMN_NEEDED_BY),
                           UiText(IDS_MISSING_COLUMN_TRIED)});
    list->header()->setStretchLastSection(true);

    auto* buttons = new QDialogButtonBox(this);
    searchButton = buttons->addButton(UiText(IDS_MISSING_SEARCH_FOLDER), QDialogButtonBox::ActionRole);
    locateButton = buttons->addButton(UiText(IDS_MISSING_LOCATE), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(UiText(IDS_MISSING_CLOSE), QDialogButtonBox::RejectRole);
    connect(searchButton, &QPushButton::clicked, this, &CMissingFilesDialog::OnSearchFolder);
    connect(locateButton, &QPushButton::clicked, this, &CMissingFilesDialog::OnLocate);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(list, &QTreeWidget::currentItemChanged, this,
            [this] { locateButton->setEnabled(list->currentItem() != nullptr); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addWidget(buttons);
    resize(880, 360);
    Fill();
}

void CMissingFilesDialog::Fill()
{
    list->clear();
    for (const CTamberlyDoc::MissingFile& file : document.GetMissingFiles())
    {
        auto* row =
            new QTreeWidgetItem(list, QStringList{StoredText(file.stored), NeededBy(file), Tried(file)});
        row->setData(0, kStoredRole, QByteArray::fromStdString(file.stored));
        row->setToolTip(0, row->text(0));
        row->setToolTip(2, row->text(2));
    }
    // The stored path is what the user recognises: its column takes the
    // room its longest path needs, up to a share that leaves the rest readable.
    for (int column : {0, 1})
    {
        list->resizeColumnToContents(column);
        list->setColumnWidth(column, std::min(list->columnWidth(column), kMaxColumnWidth));
    }
    if (list->topLevelItemCount() > 0)
        list->setCurrentItem(list->topLevelItem(0));
    locateButton->setEnabled(list->currentItem() != nullptr);
    searchButton->setEnabled(list->topLevelItemCount() > 0);
}

void CMissingFilesDialog::OnSearchFolder()
{
    const QString folder = chooseFolder ? chooseFolder() : QString();
    if (folder.isEmpty())
        return;
    {
        const CWaitCursor wait;
        document.RelinkFromFolder(folder.toStdString());
    }
    Fill();
}

void CMissingFilesDialog::OnLocate()
{
    const QTreeWidgetItem* row = list->currentItem();
    if (!row || !chooseFile)
        return;
    const std::string stored = row->data(0, kStoredRole).toByteArray().toStdString();
    const QString file = chooseFile(row->text(0));
    if (file.isEmpty())
        return;
    {
        const CWaitCursor wait;
        document.RelinkFile(stored, file.toStdString());
    }
    Fill();
}
