#include "ui/sheets/PatchEditPage1.h"

#include "bank/PatchItem.h"
#include "bank/PatchItemList.h"
#include "bank/PatchItemListGuard.h"
#include "bank/TamberlyDoc.h"
#include "synth/CardLimits.h"
#include "ui/FileFilter.h"
#include "ui/UiText.h"
#include "ui/sheets/UpDownCtrl.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
#include <utility>
#include <vector>

namespace
{
constexpr int kLowestTarget = -1;

// The number at the start of text, as a dialog reads a number from an edit:
// leading blanks and a sign allowed, whatever follows ignored, no number at all 0.
long long LeadingNumber(const QString& text)
{
    const std::string bytes = text.toStdString();
    errno = 0;
    const long long value = std::strtoll(bytes.c_str(), nullptr, 10);
    return errno == ERANGE ? LLONG_MAX : value;
}

QString DefaultFileChooser(QWidget* parent, const QString& initial, const QString& filter)
{
    // Qt's own dialog matches the patterns regardless of case, as old banks are often named *.SBK.
    return QFileDialog::getOpenFileName(parent, QString(), initial, filter, nullptr,
                                        QFileDialog::DontUseNativeDialog | QFileDialog::ReadOnly);
}
} // namespace

CPatchEditPage1::CPatchEditPage1(QWidget* parent)
    : CPropertyPage(UiText(IDS_PATCH_PAGE_TITLE), parent), fileChooser(DefaultFileChooser),
      nameEdit(new QLineEdit(this)), bankEdit(new QLineEdit(this)),
      bankUpDown(new CUpDownCtrl(bankEdit, this)), patchEdit(new QLineEdit(this)),
      patchUpDown(new CUpDownCtrl(patchEdit, this)), sourceFileEdit(new QLineEdit(this)),
      browseButton(new QPushButton(UiText(IDS_PATCH_PAGE_BROWSE), this)), sourcePatchList(new QComboBox(this))
{
    auto label = [this](unsigned id, QWidget* buddy)
    {
        auto* text = new QLabel(UiText(id), this);
        text->setBuddy(buddy);
        return text;
    };
    for (QLineEdit* edit : {bankEdit, patchEdit})
    {
        edit->setAlignment(Qt::AlignRight);
        edit->setFixedWidth(DialogUnitsX(*this, 28));
        edit->installEventFilter(this);
    }
    sourceFileEdit->installEventFilter(this);
    bankUpDown->SetRange(kLowestTarget, CardLimits::kLastBank);
    patchUpDown->SetRange(kLowestTarget, CardLimits::kLastBank);
    sourcePatchList->setMaxVisibleItems(16);
    sourcePatchList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    sourcePatchList->setMinimumContentsLength(24);

    auto* bankRow = new QHBoxLayout;
    bankRow->setSpacing(0);
    bankRow->addWidget(bankEdit);
    bankRow->addWidget(bankUpDown);
    bankRow->addSpacing(DialogUnitsX(*this, 16));
    bankRow->addWidget(label(IDS_PATCH_PAGE_TARGET_PATCH, patchEdit));
    bankRow->addSpacing(DialogUnitsX(*this, 4));
    bankRow->addWidget(patchEdit);
    bankRow->addWidget(patchUpDown);
    bankRow->addStretch(1);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(DialogUnitsX(*this, 7), DialogUnitsY(*this, 7), DialogUnitsX(*this, 7),
                             DialogUnitsY(*this, 7));
    grid->setVerticalSpacing(DialogUnitsY(*this, 5));
    grid->addWidget(label(IDS_PATCH_PAGE_NAME, nameEdit), 0, 0);
    grid->addWidget(nameEdit, 0, 1, 1, 2);
    grid->addWidget(label(IDS_PATCH_PAGE_TARGET_BANK, bankEdit), 1, 0);
    grid->addLayout(bankRow, 1, 1, 1, 2);
    grid->addWidget(label(IDS_PATCH_PAGE_SOURCE_FILE, sourceFileEdit), 2, 0);
    grid->addWidget(sourceFileEdit, 2, 1);
    grid->addWidget(browseButton, 2, 2);
    grid->addWidget(label(IDS_PATCH_PAGE_SOURCE_PATCH, sourcePatchList), 3, 0);
    grid->addWidget(sourcePatchList, 3, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
    setMinimumSize(DialogUnitsX(*this, 226), DialogUnitsY(*this, 122));

    connect(nameEdit, &QLineEdit::textEdited, this, &CPatchEditPage1::OnNameEdited);
    connect(bankUpDown, &CUpDownCtrl::AboutToChange, this,
            [this](int position, int delta) { OnTargetStep(bankEdit, position, delta); });
    connect(patchUpDown, &CUpDownCtrl::AboutToChange, this,
            [this](int position, int delta) { OnTargetStep(patchEdit, position, delta); });
    connect(browseButton, &QPushButton::clicked, this, &CPatchEditPage1::Browse);
    // activated: the user's choices only, not the selections the page makes itself.
    connect(sourcePatchList, &QComboBox::activated, this, &CPatchEditPage1::OnSourcePatchChosen);
}

void CPatchEditPage1::SetPatch(CPatchItem* working, CPatchItem* original, CTamberlyDoc* doc)
{
    workingPatch = working;
    originalPatch = original;
    document = doc;
}

bool CPatchEditPage1::DoDataExchange(bool saveAndValidate)
{
    if (!workingPatch || !originalPatch)
        return true;
    if (!saveAndValidate)
    {
        nameEdit->setText(StoredToUi(workingPatch->GetName()));
        sourceFileEdit->setText(StoredToUi(workingPatch->GetSourceFile()));
        // The start of a long path says more than its end.
        sourceFileEdit->setCursorPosition(0);
        FillSourcePatches(workingPatch->GetSourceFile());
        SelectSourcePatch(workingPatch->GetSourcePatch());
        ShowTargets();
        UpdateModified();
        return true;
    }
    TakeFocusedEdit();
    if (document && !workingPatch->IsEqual(*originalPatch))
    {
        // The document may refuse the slot and leave both targets unassigned: show what it took.
        document->ReplacePatch(originalPatch, workingPatch);
        ShowTargets();
    }
    UpdateModified();
    return true;
}

bool CPatchEditPage1::FillSourcePatches(const std::string& path)
{
    sourcePatchList->clear();
    std::vector<std::pair<QString, int>> entries;
    {
        CPatchItemList list;
        CPatchItemListGuard guard(list);
        try
        {
            list.ReadFromFile(path);
        }
        catch (const std::exception&)
        {
            // A file that cannot be read offers nothing but "None".
        }
        for (const CPatchItem* item : list)
            entries.emplace_back(
                StoredToUi(FormatString(IDS_SOURCE_PATCH_ENTRY, static_cast<int>(item->GetSourcePatch()),
                                        item->GetName().c_str())),
                item->GetSourcePatch());
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b)
                     { return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0; });
    sourcePatchList->addItem(UiText(IDS_NONE), -1);
    for (const auto& [text, number] : entries)
        sourcePatchList->addItem(text, number);
    sourcePatchList->setCurrentIndex(-1);
    return sourcePatchList->count() > 1;
}

void CPatchEditPage1::SelectSourcePatch(int number)
{
    const int index = sourcePatchList->findData(number);
    if (index >= 0)
        sourcePatchList->setCurrentIndex(index);
}

void CPatchEditPage1::UpdateModified()
{
    SetModified(workingPatch && originalPatch && !workingPatch->IsEqual(*originalPatch));
}

void CPatchEditPage1::Browse()
{
    if (!workingPatch)
        return;
    const QString chosen = fileChooser(this, StoredToUi(workingPatch->GetSourceFile()),
                                       FileFilter::FromStringTable(IDS_FILTER_BANK_FILES));
    if (chosen.isEmpty())
        return;
    const std::string path = chosen.toStdString();
    if (path == workingPatch->GetSourceFile())
        return;
    sourceFileEdit->setText(chosen);
    TakeSourceFile(path);
}

bool CPatchEditPage1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
    {
        if (watched == bankEdit || watched == patchEdit)
            OnTargetEditLeft(static_cast<QLineEdit*>(watched));
        else if (watched == sourceFileEdit)
            OnSourceFileLeft();
    }
    return CPropertyPage::eventFilter(watched, event);
}

void CPatchEditPage1::OnNameEdited(const QString& text)
{
    if (!workingPatch)
        return;
    workingPatch->SetName(text.toStdString());
    UpdateModified();
}

void CPatchEditPage1::OnTargetEditLeft(QLineEdit* edit)
{
    if (!workingPatch)
        return;
    long long value = LeadingNumber(edit->text());
    if (value < 0 || value > CardLimits::kLastBank)
        value = -1;
    const int number = static_cast<int>(value);
    // The edit shows the number taken, so that text which is no number does not stay beside a 0.
    (edit == bankEdit ? bankUpDown : patchUpDown)->SetPos(number);
    if (edit == bankEdit)
        workingPatch->SetTargetBank(number);
    else
        workingPatch->SetTargetPatch(number);
    UpdateModified();
}

void CPatchEditPage1::OnTargetStep(QLineEdit* edit, int position, int delta)
{
    if (!workingPatch)
        return;
    if (edit == bankEdit)
        workingPatch->SetTargetBank(position + delta);
    else
        workingPatch->SetTargetPatch(position + delta);
    UpdateModified();
}

void CPatchEditPage1::OnSourceFileLeft()
{
    if (!workingPatch)
        return;
    QString text = sourceFileEdit->text();
    if (text == StoredToUi(workingPatch->GetSourceFile()))
        return;
    if (text.isEmpty())
    {
        text = UiText(IDS_NONE);
        sourceFileEdit->setText(text);
    }
    TakeSourceFile(text.toStdString());
}

void CPatchEditPage1::TakeSourceFile(const std::string& path)
{
    workingPatch->SetSourceFile(path);
    FillSourcePatches(path);
    // The old number names a preset of the old file; kept, OK would load
    // whatever preset of the new file happens to bear it.
    workingPatch->SetSourcePatch(-1);
    SelectSourcePatch(-1);
    UpdateModified();
}

void CPatchEditPage1::OnSourcePatchChosen(int index)
{
    if (!workingPatch || index < 0)
        return;
    workingPatch->SetSourcePatch(sourcePatchList->itemData(index).toInt());
    UpdateModified();
}

void CPatchEditPage1::ShowTargets()
{
    bankUpDown->SetPos(workingPatch->GetTargetBank());
    patchUpDown->SetPos(workingPatch->GetTargetPatch());
}

void CPatchEditPage1::TakeFocusedEdit()
{
    const QWidget* focused = QApplication::focusWidget();
    if (focused == bankEdit)
        OnTargetEditLeft(bankEdit);
    else if (focused == patchEdit)
        OnTargetEditLeft(patchEdit);
    else if (focused == sourceFileEdit)
        OnSourceFileLeft();
}
