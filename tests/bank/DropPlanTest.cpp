#include "bank/DropPlan.h"
#include "bank/PatchItemListGuard.h"

#include <gtest/gtest.h>

namespace
{
using Kind = CDropPlan::Kind;
using Targets = std::vector<CDropPlan::Target>;
constexpr int kSlots = 128;

// The plan of a drag of presets with these numbers, in this order.
CDropPlan Plan(std::initializer_list<int> numbers, int pointerRow, int rowCount, bool documentList,
               bool byNumbers)
{
    CPatchItemList dropped;
    const CPatchItemListGuard guard(dropped);
    for (int number : numbers)
        dropped.AddNew()->SetSourcePatch(number);
    return CDropPlan(dropped, pointerRow, rowCount, documentList, byNumbers);
}
} // namespace

TEST(DropPlan, ByPositionFillsFromThePointerRowAsFarAsTheRowsGo)
{
    // Five on slot 126: two find a slot.
    EXPECT_EQ(Plan({0, 1, 2, 3, 4}, 126, kSlots, false, false).GetTargets(), (Targets{{126, 0}, {127, 1}}));
    // On the document's own list numbers do not count, even when asked for.
    EXPECT_EQ(Plan({48, 0}, 1, 3, true, true).GetRows(), (std::vector<int>{1, 2}));
}

TEST(DropPlan, ByNumbersEachPresetTakesTheSlotOfItsNumberInDropOrder)
{
    // Sorted by name a preset list gives 48 before 0; 48 twice, 200 and -1 find no slot.
    const CDropPlan plan = Plan({48, 0, 48, 200, -1}, 90, kSlots, false, true);
    EXPECT_EQ(plan.GetTargets(), (Targets{{48, 0}, {0, 1}}));
    EXPECT_EQ(plan.GetRows(), (std::vector<int>{0, 48}));
    // Presets of a SoundFont 2 variation bank (8:5) or drum kit (128:0) take
    // the slot of their program; the first of a number wins.
    EXPECT_EQ(Plan({(8 << 16) | 5, (128 << 16) | 0, 0}, 90, kSlots, false, true).GetTargets(),
              (Targets{{5, 0}, {0, 1}}));
    // Numbers that fit nowhere still drop over the slots, placing nothing.
    EXPECT_EQ(Plan({-1}, 3, kSlots, false, true).GetKind(), Kind::Place);
}

TEST(DropPlan, OutsideTheRowsTheDocumentsListAddsAndACardBankRefuses)
{
    EXPECT_EQ(Plan({0, 16}, -1, 0, true, false).GetKind(), Kind::Add);
    EXPECT_EQ(Plan({0, 16}, -1, kSlots, false, true).GetKind(), Kind::Refuse);
    EXPECT_EQ(Plan({0}, kSlots, kSlots, false, false).GetKind(), Kind::Refuse);
    // A drag that carries nothing is refused everywhere.
    EXPECT_EQ(Plan({}, 3, kSlots, false, false).GetKind(), Kind::Refuse);
    EXPECT_EQ(Plan({}, -1, 0, true, false).GetKind(), Kind::Refuse);
}
