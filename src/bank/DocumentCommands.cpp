#include "bank/DocumentCommands.h"

#include "bank/TamberlyDoc.h"
#include "synth/AweSession.h"

namespace
{
constexpr int kSynthMt32 = 32784;
constexpr int kClearCurrentBank = 32785;
constexpr int kSynthGm = 32786;
constexpr int kSynthGs = 32787;
constexpr int kLoadFileInBank = 32797;
constexpr int kSelectFx = 32799;
constexpr int kClearAllBanks = 32800;
constexpr int kKeyboard = 32803;
constexpr int kRefreshTree = 32807;
constexpr int kImportShb = 32809;
constexpr int kInfo = 32810;
constexpr int kPaneCurrentPatch = 37;
constexpr int kPaneFreeMemory = 512;
} // namespace

std::optional<CommandState> GetDocumentCommandState(CTamberlyDoc& document, int commandId, bool keyboardVisible)
{
    CommandState state;
    switch (commandId)
    {
    case kSynthGm:
        state.checked = document.GetCard().GetSynthBank() == 0;
        break;
    case kSynthGs:
        state.checked = document.GetCard().GetSynthBank() == 1;
        break;
    case kSynthMt32:
        state.checked = document.GetCard().GetSynthBank() == 2;
        break;
    case kLoadFileInBank:
        state.enabled = document.GetCurrentBank() > 0;
        break;
    case kClearCurrentBank:
        state.enabled =
            document.GetCurrentBank() > 0 && !document.GetCard().GetBankName(document.GetCurrentBank()).empty();
        break;
    case kKeyboard:
        state.checked = keyboardVisible;
        break;
    case kSelectFx:
    case kClearAllBanks:
    case kRefreshTree:
    case kImportShb:
    case kInfo:
    case kPaneCurrentPatch:
    case kPaneFreeMemory:
        break;
    default:
        return std::nullopt;
    }
    return state;
}
