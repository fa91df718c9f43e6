// Seeds of the manager entry point target: a bank file and scripts of calls
// as a program makes them (open, command, close), and as it should not
// (closed and made-up handles, unknown codes, lying records). The encoder
// below writes the bytes the target reads for each step, in its order.

#include "SeedSet.h"

#include "support/SoundFontBuilder.h"

#include <cstdint>
#include <initializer_list>

namespace
{
// Positions in the target's table of command codes.
enum Op : std::uint8_t
{
    GetMemory,
    Open,
    Close,
    GetEffects,
    SetEffects,
    GetSynthBank,
    SelectSynthBank,
    LoadBank,
    GetBankName,
    ClearBank,
    LoadPreset,
    GetPresetName,
    ClearPreset,
    RandomCode,
};

constexpr std::uint32_t kUnusedCode = 903; // between open/close and the effects commands

// Path choices of a file record.
enum PathChoice : std::uint8_t
{
    InputBank = 0,
    InputBankOtherPath = 1,
    GeneralMidiBank = 2,
    Mt32Bank = 3,
    Missing = 4,
    HomeFolder = 5,
};

class Script
{
public:
    // The bank's size in two bytes, then the bank, built in place: GCC 12 at
    // -O3 misreads an insert at the end of a short vector as out of bounds.
    explicit Script(const Bytes& bank) : bytes(2 + bank.size())
    {
        bytes[0] = static_cast<std::uint8_t>(bank.size() & 0xFF);
        bytes[1] = static_cast<std::uint8_t>(bank.size() >> 8);
        std::copy(bank.begin(), bank.end(), bytes.begin() + 2);
    }
    // The newest open handle, or (stale) the last one closed.
    Script& Call(Op op, bool staleHandle = false)
    {
        return Put({op, static_cast<std::uint8_t>(staleHandle ? 2 : 0)});
    }
    // A code outside the table, in place of a table position.
    Script& CallCode(std::uint32_t code)
    {
        Put({RandomCode});
        for (int shift = 0; shift < 32; shift += 8)
            Put({static_cast<std::uint8_t>(code >> shift)});
        return Put({0});
    }
    Script& Number(std::uint8_t value) { return Put({0, value}); }
    Script& Out() { return Put({1}); }
    Script& Null() { return Put({0}); }
    Script& File(PathChoice path, std::uint8_t sourcePreset) { return Put({1, path, 1, 0, 1, sourcePreset}); }
    // A true path whose length is off by delta (-32..31).
    Script& LyingFile(PathChoice path, int delta)
    {
        return Put({1, path, 1, static_cast<std::uint8_t>(((delta + 32) << 2) | 1), 1, 0});
    }
    Script& Address(std::uint8_t bank, std::uint8_t slot) { return Put({1, 1, bank, 1, slot}); }
    // Size choice 4 is a name buffer of the usual 50 bytes; 192 + n is n bytes.
    Script& Name(std::uint8_t sizeChoice = 4) { return Put({1, sizeChoice, 1}); }
    Script& Effects(std::uint8_t reverb, std::uint8_t chorus) { return Put({1, 1, 1, reverb, 1, chorus}); }
    Bytes Build() const { return bytes; }

private:
    Script& Put(std::initializer_list<std::uint8_t> values)
    {
        // Appended one by one: GCC 12 at -O3 misreads a range insert into an
        // empty vector as an overflow (-Wstringop-overflow).
        for (const std::uint8_t value : values)
            bytes.push_back(value);
        return *this;
    }
    Bytes bytes;
};

Bytes Bank()
{
    SoundFontBuilder bank;
    bank.Info("INAM", "Seed Bank").SampleData(256);
    const int s0 = bank.AddSample(0, 40);
    const int s1 = bank.AddSample(40, 100);
    bank.AddPreset("Piano", 0, 0, {bank.AddInstrument("P", {s0})});
    bank.AddPreset("Pad", 5, 0, {bank.AddInstrument("Q", {s0, s1})});
    bank.AddPreset("Kit", 0, 128, {bank.AddInstrument("K", {s1})});
    return bank.Build();
}

void Make(CSeedSet& seeds)
{
    const Bytes bank = Bank();

    Script everyCommand(bank);
    everyCommand.Call(Open).Out();
    everyCommand.Call(GetMemory).Out().Out();
    everyCommand.Call(LoadBank).Number(1).File(InputBank, 0);
    everyCommand.Call(GetBankName).Number(1).Name();
    everyCommand.Call(LoadPreset).Address(2, 0).File(InputBankOtherPath, 5);
    everyCommand.Call(GetPresetName).Address(2, 0).Name(192 + 3);
    everyCommand.Call(LoadPreset).Address(1, 0).File(InputBank, 0);
    everyCommand.Call(ClearPreset).Number(1).Number(0);
    everyCommand.Call(SelectSynthBank).Number(2).Number(0);
    everyCommand.Call(GetSynthBank).Name(1);
    everyCommand.Call(SetEffects).Effects(3, 5);
    everyCommand.Call(GetEffects).Effects(0, 0);
    everyCommand.Call(GetMemory).Out().Out();
    everyCommand.Call(ClearBank).Number(1).Number(0);
    everyCommand.Call(Close).Number(0).Number(0);
    seeds.Add("every-command", everyCommand.Build());

    Script synthBank(bank);
    synthBank.Call(Open).Out();
    synthBank.Call(LoadPreset).Address(0, 5).File(InputBank, 5);
    synthBank.Call(LoadPreset).Address(0, 5).File(GeneralMidiBank, 5);
    synthBank.Call(LoadPreset).Address(0, 7).File(Mt32Bank, 7);
    synthBank.Call(ClearPreset).Number(0).Number(7);
    synthBank.Call(GetPresetName).Address(0, 127).Name();
    seeds.Add("synth-bank", synthBank.Build());

    Script handles(bank);
    handles.Call(GetMemory).Out().Out(); // before any open
    handles.Call(Open).Out();
    handles.Call(Open).Out();
    handles.Call(Close).Number(0).Number(0);
    handles.Call(ClearBank, true).Number(1).Number(0);
    handles.Call(Close, true).Number(0).Number(0);
    handles.Call(Open).Null();
    handles.CallCode(0x7FFFFFFF).Number(0).Number(0);
    handles.CallCode(kUnusedCode).Number(0).Number(0);
    seeds.Add("handles", handles.Build());

    Script refusals(bank);
    refusals.Call(Open).Out();
    refusals.Call(LoadBank).Number(0).File(InputBank, 0);
    refusals.Call(LoadBank).Number(128).File(InputBank, 0);
    refusals.Call(LoadBank).Number(3).File(Missing, 0);
    refusals.Call(LoadBank).Number(3).File(HomeFolder, 0);
    refusals.Call(LoadBank).Number(3).LyingFile(InputBank, 1);
    refusals.Call(LoadBank).Number(3).LyingFile(InputBank, -1);
    refusals.Call(LoadPreset).Address(1, 1).File(InputBank, 99);
    refusals.Call(LoadPreset).Address(128, 0).File(InputBank, 0);
    refusals.Call(GetBankName).Number(3).Name(0);
    refusals.Call(GetBankName).Number(3).Name();
    refusals.Call(SetEffects).Effects(8, 0);
    refusals.Call(SelectSynthBank).Number(3).Number(0);
    refusals.Call(GetMemory).Out().Null();
    seeds.Add("refusals", refusals.Build());

    Script damaged(Bytes(bank.begin(), bank.begin() + 100));
    damaged.Call(Open).Out();
    damaged.Call(LoadBank).Number(1).File(InputBank, 0);
    damaged.Call(LoadPreset).Address(1, 0).File(InputBank, 0);
    seeds.Add("damaged-bank", damaged.Build());
    seeds.Add("empty", Bytes{});
}

const RegisterSeeds registration("AweManager", Make);
} // namespace
