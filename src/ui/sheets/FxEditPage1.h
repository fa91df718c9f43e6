#pragma once
// The "Basic" page of the FX settings sheet: the card's reverb and chorus
// types, chosen from two lists whose positions are the type numbers. Taking
// the page's data (Apply, OK) sends both types to the card.
//
// The card is set by whoever runs the sheet and must outlive it.

#include "ui/sheets/PropertyPage.h"

class CAweSession;
class QComboBox;

class CFxEditPage1 : public CPropertyPage
{
    Q_OBJECT

public:
    static constexpr int kTypeCount = 8;

    explicit CFxEditPage1(QWidget* parent = nullptr);

    void SetSynth(CAweSession* card) { synth = card; }
    // The chosen types (list positions), -1 none; the last applied or the initial ones.
    int GetReverb() const { return reverb; }
    int GetChorus() const { return chorus; }
    void SetReverb(int type) { reverb = type; }
    void SetChorus(int type) { chorus = type; }

    QComboBox* GetReverbList() const { return reverbList; }
    QComboBox* GetChorusList() const { return chorusList; }

protected:
    bool DoDataExchange(bool saveAndValidate) override;

private:
    // A list's new choice marks the page modified unless both lists show the
    // page's types; the mark is not taken back by choosing the old type again.
    void OnSelectionChanged();

    CAweSession* synth = nullptr;
    int chorus = -1;
    int reverb = -1;
    QComboBox* reverbList;
    QComboBox* chorusList;
};
