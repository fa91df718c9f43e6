#include "ui/keyboard/MidiKeyboardDlg.h"

#include "platform/StringTable.h"
#include "synth/MidiStatus.h"
#include "ui/UiText.h"
#include "ui/keyboard/PianoCtrl.h"
#include "ui/panes/PresetPreview.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMetaObject>
#include <QPointer>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
constexpr int kBankSelect = static_cast<int>(MidiController::BankSelect);
constexpr int kControlChange = StatusByte(MidiStatus::ControlChange);
constexpr int kProgramChange = StatusByte(MidiStatus::ProgramChange);
constexpr int kNoteOn = StatusByte(MidiStatus::NoteOn);
constexpr int kNoteOff = StatusByte(MidiStatus::NoteOff);
constexpr int kSliderTicks = 8;
// The window's size in dialog units, as the 1996 dialog had it.
constexpr int kWidthUnits = 315;
constexpr int kHeightUnits = 65;

constexpr unsigned kControllerNames[CMidiKeyboardDlg::kControllerCount] = {
    IDS_CONTROLLER_MODULATION, IDS_CONTROLLER_VOLUME, IDS_CONTROLLER_PAN,   IDS_CONTROLLER_EXPRESSION,
    IDS_CONTROLLER_SUSTAIN,    IDS_CONTROLLER_REVERB, IDS_CONTROLLER_CHORUS};

} // namespace

CMidiKeyboardDlg::CMidiKeyboardDlg(std::unique_ptr<IMidiDevices> midiDevices, QWidget* parent)
    : QDialog(parent), controllers{{{1, 0}, {7, 127}, {10, 64}, {11, 127}, {64, 0}, {91, 40}, {93, 10}}},
      devices(std::move(midiDevices))
{
    cardTitle = UiText(IDS_MIDI_KEYBOARD);
    setWindowTitle(cardTitle);
    setModal(false);

    controllerList = new QComboBox(this);
    for (std::size_t row = 0; row < kControllerCount; ++row)
        controllerList->addItem(UiText(kControllerNames[row]), static_cast<int>(row));
    // The texts start with the controller numbers, so the order above is the sorted order.
    controllerList->model()->sort(0);

    slider = new QSlider(Qt::Horizontal, this);
    slider->setRange(0, 127);
    slider->setTickInterval(kSliderTicks);
    slider->setTickPosition(QSlider::TicksBelow);

    piano = new CPianoCtrl(this);
    piano->SetFirstOctave(2);
    piano->SetOctaveCount(6);

    // The hint as the piano's tool tip: a line of text below the keys took
    // the height the keys need.
    piano->setToolTip(UiText(IDS_MIDI_KEYBOARD_HINT));
    piano->setStatusTip(UiText(IDS_MIDI_KEYBOARD_HINT));
    piano->setWhatsThis(UiText(IDS_WHATSTHIS_KEYBOARD));

    auto* top = new QHBoxLayout;
    top->addWidget(controllerList);
    top->addWidget(slider, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(piano, 1);

    controllerList->setCurrentIndex(0);
    slider->setValue(controllers[static_cast<std::size_t>(SelectedRow())].value);

    connect(slider, &QSlider::valueChanged, this, &CMidiKeyboardDlg::OnSliderMoved);
    connect(controllerList, &QComboBox::currentIndexChanged, this, &CMidiKeyboardDlg::OnControllerChosen);
    connect(piano, &CPianoCtrl::PianoKey, this, &CMidiKeyboardDlg::OnPianoKey);

    // The 1996 dialog's width; the height its controls and a piano of its
    // preferred height take. Any size larger than the least is the user's.
    const QFontMetrics metrics(font());
    const QSize least = layout->totalMinimumSize();
    setMinimumSize(least);
    resize(std::max(kWidthUnits * metrics.averageCharWidth() / 4, sizeHint().width()),
           std::max(kHeightUnits * metrics.height() / 8, sizeHint().height()));
    piano->setFocus();
}

CMidiKeyboardDlg::~CMidiKeyboardDlg()
{
    CloseMidi();
}

bool CMidiKeyboardDlg::OpenMidi()
{
    if (open)
        return true;
    if (!devices || !devices->OpenOutput())
        return false;
    // Input arrives on the device layer's thread; the window handles it on its own.
    const bool inputOpen = devices->OpenInput(
        [this](ShortMessage message)
        {
            QMetaObject::invokeMethod(
                this, [this, message] { SendShortMessage(message); }, Qt::QueuedConnection);
        });
    if (!inputOpen)
    {
        devices->CloseOutput();
        return false;
    }
    devices->StartInput();
    open = true;
    SendControllers(0);
    SetBankProgram(-1, -1);
    return true;
}

void CMidiKeyboardDlg::CloseMidi()
{
    if (!open)
        return;
    devices->CloseInput();
    devices->CloseOutput();
    open = false;
}

void CMidiKeyboardDlg::ReplaceDevices(std::unique_ptr<IMidiDevices> newDevices)
{
    const bool wasOpen = open;
    CloseMidi();
    devices = std::move(newDevices);
    if (wasOpen)
        OpenMidi();
}

bool CMidiKeyboardDlg::SendShortMessage(ShortMessage message)
{
    const int kind = MessageStatus(message) & 0xF0;
    if (previewPlay && (kind == kNoteOn || kind == kNoteOff))
    {
        const int key = MessageData1(message);
        const int velocity = kind == kNoteOn ? MessageData2(message) : 0;
        piano->SetKeyVelocity(key, velocity);
        previewKeys.set(static_cast<std::size_t>(key), velocity > 0);
        previewPlay(key, velocity);
        return true;
    }
    if (!open)
        return false;
    if (((message >> 4) & 0x0F) == 0x9)
        piano->SetKeyVelocity(MessageData1(message), MessageData2(message));
    devices->SendShortMessage(MoveToFirstChannel(message));
    return true;
}

bool CMidiKeyboardDlg::SendChannelMessage(int status, int data1, int data2)
{
    return SendShortMessage(MakeShortMessage(status, data1, data2));
}

void CMidiKeyboardDlg::SendControllers(int channel)
{
    for (const Controller& row : controllers)
        SendChannelMessage(kControlChange + channel, row.controller, row.value);
}

void CMidiKeyboardDlg::SetBankProgram(int newBank, int newProgram)
{
    if (newBank == -1)
        newBank = bank;
    if (newProgram == -1)
        newProgram = program;
    SendChannelMessage(kControlChange, kBankSelect, newBank);
    SendChannelMessage(kProgramChange, newProgram, 0);
    bank = newBank;
    program = newProgram;
}

void CMidiKeyboardDlg::SetPatch(const std::string& name, int newBank, int newProgram)
{
    if (newBank == -1 || newProgram == -1)
        newBank = newProgram = 0;
    EndPreview();
    SetBankProgram(newBank, newProgram);
    cardTitle =
        QString::fromStdString(FormatString(IDS_MIDI_KEYBOARD_PATCH, name.c_str(), newBank, newProgram));
    setWindowTitle(cardTitle);
}

void CMidiKeyboardDlg::FollowPreview(CPresetPreview* preview)
{
    connect(preview, &CPresetPreview::Started, this,
            [this, source = QPointer<CPresetPreview>(preview)](const QString& name)
            {
                StartPreview(name,
                             [source](int key, int velocity)
                             {
                                 if (source)
                                     source->Note(key, velocity);
                             });
            });
}

void CMidiKeyboardDlg::StartPreview(const QString& name, std::function<void(int, int)> play)
{
    EndPreview();
    previewPlay = std::move(play);
    setWindowTitle(
        QString::fromStdString(FormatString(IDS_MIDI_KEYBOARD_PREVIEW, name.toStdString().c_str())));
}

void CMidiKeyboardDlg::EndPreview()
{
    if (!previewPlay)
        return;
    // A key held now would otherwise send its release to the card and leave
    // the preview's note sounding.
    for (int key = 0; key < 128; ++key)
        if (previewKeys.test(static_cast<std::size_t>(key)))
        {
            previewPlay(key, 0);
            piano->SetKeyVelocity(key, 0);
        }
    previewKeys.reset();
    previewPlay = nullptr;
    setWindowTitle(cardTitle);
}

void CMidiKeyboardDlg::EnableMidi(bool on)
{
    if (on)
        OpenMidi();
    else
        CloseMidi();
}

void CMidiKeyboardDlg::ToggleVisible()
{
    if (isVisible())
    {
        hide();
        return;
    }
    show();
    raise();
    activateWindow();
}

void CMidiKeyboardDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Q_EMIT VisibilityChanged(true);
}

void CMidiKeyboardDlg::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    Q_EMIT VisibilityChanged(false);
}

void CMidiKeyboardDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::NoModifier &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter))
    {
        hide();
        return;
    }
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Escape && IsPreviewing())
    {
        EndPreview();
        return;
    }
    QDialog::keyPressEvent(event);
}

int CMidiKeyboardDlg::SelectedRow() const
{
    // A drop-down list always has a selection once it is set up; the item's
    // data is its row of the controller table.
    const int row = controllerList->currentData().toInt();
    return row >= 0 && row < static_cast<int>(kControllerCount) ? row : 0;
}

void CMidiKeyboardDlg::OnSliderMoved(int position)
{
    controllers[static_cast<std::size_t>(SelectedRow())].value = position;
    SendControllers(0);
}

void CMidiKeyboardDlg::OnControllerChosen(int /*row*/)
{
    // Setting the position is no move of the slider: nothing is sent.
    const QSignalBlocker quiet(slider);
    slider->setValue(controllers[static_cast<std::size_t>(SelectedRow())].value);
}

void CMidiKeyboardDlg::OnPianoKey(int note, int velocity)
{
    SendChannelMessage(kNoteOn, note, velocity);
}

void CMidiKeyboardDlg::ShowSoundingKeys(quint64 low, quint64 high)
{
    constexpr int kShownVelocity = 100;
    for (int key = 0; key < 128; ++key)
    {
        const quint64 bit = quint64{1} << (key % 64);
        const bool was = ((key < 64 ? soundingLow : soundingHigh) & bit) != 0;
        const bool now = ((key < 64 ? low : high) & bit) != 0;
        if (was != now)
            piano->SetKeyVelocity(key, now ? kShownVelocity : 0);
    }
    soundingLow = low;
    soundingHigh = high;
}
