#include "ui/sheets/PropertyPage.h"

CPropertyPage::CPropertyPage(const QString& pageTitle, QWidget* parent) : QWidget(parent), title(pageTitle) {}

void CPropertyPage::SetModified(bool isModified)
{
    if (modified == isModified)
        return;
    modified = isModified;
    Q_EMIT ModifiedChanged(modified);
}
