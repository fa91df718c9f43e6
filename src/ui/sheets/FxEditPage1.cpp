#include "ui/sheets/FxEditPage1.h"

#include "synth/AweSession.h"
#include "ui/UiText.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSignalBlocker>

namespace
{
constexpr unsigned kReverbNames[CFxEditPage1::kTypeCount] = {
    IDS_REVERB_ROOM_1, IDS_REVERB_ROOM_2, IDS_REVERB_ROOM_3, IDS_REVERB_HALL_1,
    IDS_REVERB_HALL_2, IDS_REVERB_PLATE,  IDS_REVERB_DELAY,  IDS_REVERB_PANNING_DELAY};
constexpr unsigned kChorusNames[CFxEditPage1::kTypeCount] = {IDS_CHORUS_1,
                                                             IDS_CHORUS_2,
                                                             IDS_CHORUS_3,
                                                             IDS_CHORUS_4,
                                                             IDS_CHORUS_FEEDBACK_DELAY,
                                                             IDS_CHORUS_FLANGER,
                                                             IDS_CHORUS_SHORT_DELAY,
                                                             IDS_CHORUS_SHORT_DELAY_FB};
} // namespace

CFxEditPage1::CFxEditPage1(QWidget* parent)
    : CPropertyPage(UiText(IDS_FX_PAGE_TITLE), parent), reverbList(new QComboBox(this)),
      chorusList(new QComboBox(this))
{
    for (int type = 0; type < kTypeCount; ++type)
    {
        reverbList->addItem(UiText(kReverbNames[type]));
        chorusList->addItem(UiText(kChorusNames[type]));
    }
    for (QComboBox* list : {reverbList, chorusList})
    {
        list->setMaxVisibleItems(kTypeCount);
        list->setCurrentIndex(-1);
        connect(list, &QComboBox::currentIndexChanged, this, &CFxEditPage1::OnSelectionChanged);
    }

    auto* form = new QFormLayout(this);
    form->setContentsMargins(DialogUnitsX(*this, 10), DialogUnitsY(*this, 10), DialogUnitsX(*this, 10),
                             DialogUnitsY(*this, 10));
    form->setVerticalSpacing(DialogUnitsY(*this, 8));
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    auto* reverbLabel = new QLabel(UiText(IDS_FX_PAGE_REVERB), this);
    auto* chorusLabel = new QLabel(UiText(IDS_FX_PAGE_CHORUS), this);
    reverbLabel->setBuddy(reverbList);
    chorusLabel->setBuddy(chorusList);
    form->addRow(reverbLabel, reverbList);
    form->addRow(chorusLabel, chorusList);
    setMinimumSize(DialogUnitsX(*this, 183), DialogUnitsY(*this, 71));
}

bool CFxEditPage1::DoDataExchange(bool saveAndValidate)
{
    if (!saveAndValidate)
    {
        const QSignalBlocker quietChorus(chorusList);
        const QSignalBlocker quietReverb(reverbList);
        chorusList->setCurrentIndex(chorus >= 0 && chorus < kTypeCount ? chorus : -1);
        reverbList->setCurrentIndex(reverb >= 0 && reverb < kTypeCount ? reverb : -1);
        return true;
    }
    chorus = chorusList->currentIndex();
    reverb = reverbList->currentIndex();
    // A list without a choice has no type to send.
    if (synth && reverb >= 0)
        synth->SetReverb(reverb);
    if (synth && chorus >= 0)
        synth->SetChorus(chorus);
    return true;
}

void CFxEditPage1::OnSelectionChanged()
{
    if (chorusList->currentIndex() == chorus && reverbList->currentIndex() == reverb)
        return;
    SetModified(true);
}
