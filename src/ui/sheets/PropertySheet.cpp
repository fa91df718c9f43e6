#include "ui/sheets/PropertySheet.h"

#include "ui/sheets/PropertyPage.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

CPropertySheet::CPropertySheet(const QString& caption, QWidget* parent)
    : QDialog(parent), tabs(new QTabWidget(this)),
      buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply,
                                   this))
{
    setWindowTitle(caption);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    GetOkButton()->setDefault(true);
    GetApplyButton()->setEnabled(false);
    connect(GetOkButton(), &QPushButton::clicked, this, &CPropertySheet::accept);
    connect(GetCancelButton(), &QPushButton::clicked, this, &CPropertySheet::reject);
    connect(GetApplyButton(), &QPushButton::clicked, this, &CPropertySheet::Apply);
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    pages.push_back(page);
    tabs->addTab(page, page->GetTitle());
    connect(page, &CPropertyPage::ModifiedChanged, this, &CPropertySheet::UpdateApplyButton);
    UpdateApplyButton();
}

CPropertyPage* CPropertySheet::GetPage(int index) const
{
    return index >= 0 && index < GetPageCount() ? pages[static_cast<std::size_t>(index)] : nullptr;
}

QPushButton* CPropertySheet::GetOkButton() const
{
    return buttons->button(QDialogButtonBox::Ok);
}

QPushButton* CPropertySheet::GetCancelButton() const
{
    return buttons->button(QDialogButtonBox::Cancel);
}

QPushButton* CPropertySheet::GetApplyButton() const
{
    return buttons->button(QDialogButtonBox::Apply);
}

void CPropertySheet::InitPages()
{
    if (pagesInitialised)
        return;
    pagesInitialised = true;
    for (CPropertyPage* page : pages)
        page->UpdateData(false);
    tabs->setCurrentIndex(0);
}

void CPropertySheet::showEvent(QShowEvent* event)
{
    InitPages();
    QDialog::showEvent(event);
}

bool CPropertySheet::TakePages()
{
    InitPages();
    for (CPropertyPage* page : pages)
        if (!page->UpdateData(true))
        {
            tabs->setCurrentWidget(page);
            return false;
        }
    return true;
}

bool CPropertySheet::Apply()
{
    if (!TakePages())
        return false;
    for (CPropertyPage* page : pages)
        page->SetModified(false);
    return true;
}

void CPropertySheet::accept()
{
    if (TakePages())
        QDialog::accept();
}

void CPropertySheet::UpdateApplyButton()
{
    bool any = false;
    for (const CPropertyPage* page : pages)
        any = any || page->IsModified();
    GetApplyButton()->setEnabled(any);
}

bool CPropertySheet::Run(CPropertySheet& sheet, const Driver& driver)
{
    if (!driver)
        return sheet.exec() == QDialog::Accepted;
    sheet.setResult(QDialog::Rejected);
    sheet.open();
    driver(sheet);
    if (sheet.isVisible())
        sheet.reject();
    return sheet.result() == QDialog::Accepted;
}
