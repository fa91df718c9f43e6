#pragma once
// The rows of the bank view, answered from the document. On the "Virtual
// Bank" tab (bank -1) a row is a document patch in five columns, in the order
// the view sorts them; on a card bank's tab a row is one of its 128 program
// slots, showing the document patch loaded there or what the card holds.
//
// The model keeps no patch pointers: a report row is a position in the
// document's list and a slot row is its slot number; the patch behind a row
// is asked of the document when it is needed. A slot's text is read once per
// fill or refresh and kept, because describing a slot no document patch
// fills asks the card. The view refills the model from the document's
// updates (Fill, RefreshRows).
//
// The model renames a report row through the document (setData); it changes
// nothing else.

#include "ui/panes/ListPaneModel.h"

#include <QColor>
#include <QIcon>
#include <QString>

#include <array>
#include <vector>

class CPatchItem;
class CPatchItemList;
class CTamberlyDoc;

class CBankViewModel final : public CListPaneModel
{
    Q_OBJECT

public:
    enum Column
    {
        ColumnPatch = 0,
        ColumnLocation = 1,
        ColumnSize = 2,
        ColumnSourceFile = 3,
        ColumnSourcePatch = 4,
        ColumnCount = 5,
    };

    explicit CBankViewModel(CTamberlyDoc& document, QObject* parent = nullptr);

    // The rows of bank: -1 the document's patches in list order, 0..127 the
    // card bank's slots. The drop highlight goes.
    void Fill(int bank);
    int GetBank() const { return bank; }
    // Reads again the slots the patches target on the shown card bank
    // (patches of other banks are skipped); on the report, every row's texts.
    void RefreshRows(const CPatchItemList& patches);
    // Orders the report's rows by a sort parameter (CSortState): -1, 0 or 1
    // from ComparePatches. A card bank's slots keep their order.
    void Sort(int parameter);
    // By the parameter's column: 0 name and 3 source file byte by byte, 1
    // location (bank, then slot: unassigned first), 2 loaded KB, 4 source
    // patch; any other column 0. Descending negates; a null patch compares 0.
    static int ComparePatches(const CPatchItem* a, const CPatchItem* b, int parameter);

    // The patch behind a row: a document patch, or on a card bank a
    // description of the card's slot from the document's temporary pool
    // (valid until its idle pass). Null outside the rows.
    CPatchItem* GetPatch(int row) const;
    // The document patch a row shows, or null (the card's own content, or no row).
    CPatchItem* GetDocumentPatch(int row) const;

    // The rows a drop would fill (ascending), painted with tint; every other
    // row loses the highlight.
    void SetDropRows(std::vector<int> rows, const QColor& tint = {});

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Column 0 of a report row: the document renames the patch.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    struct SlotRow
    {
        QString text;               // "[nnn] name"
        bool documentPatch = false; // a loaded document patch fills the slot
        QString missingFile; // stored path of a document patch meant for the slot whose file was not found
    };
    SlotRow ReadSlot(int slot) const;
    bool IsDropRow(int row) const;

    CTamberlyDoc& document;
    int bank = -1;
    std::vector<int> order;     // report: the document list position of each row
    std::vector<SlotRow> slots; // card bank: one per slot
    std::vector<int> dropRows;  // ascending
    QColor dropTint;
    std::array<QIcon, 2> icons; // an ordinary patch, a patch loaded into the card
    QIcon missingIcon;          // a patch whose source file was not found
};
