#pragma once
// Command numbers of menus, toolbars, accelerators and status-bar panes. One
// number may do different things in different panes: the command router
// offers it to the active pane first. They live beside the document's own
// command rules (DocumentCommands.h), which answer for the same numbers the
// window's menus send.

enum CommandId : int
{
    // Application
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_TIP_OF_THE_DAY = 127,
    ID_HELP_FINDER = 57667,
    ID_CONTEXT_HELP = 57669,
    ID_HELP = 57670,
    ID_DEFAULT_HELP = 57671,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,

    // File
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FIRST = 57616,
    ID_FILE_IMPORT_SHB = 32809,
    ID_FILE_INFO = 32810,
    ID_FILE_PLAY_MIDI = 32850,        // a MIDI file through the card
    ID_FILE_SAVE_SONG_WAVE = 32851,   // the song rendered through the card to a file
    ID_FILE_EXPORT_SOUNDFONT = 33000, // the virtual bank as one SoundFont 2 file

    // Edit
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 33080,
    ID_EDIT_CUT = 57635,
    ID_EDIT_COPY = 57634,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_NEW = 32792,
    ID_EDIT_DELETE = 32788,
    ID_EDIT_PROPERTIES = 32789,
    ID_EDIT_SETTINGS = 32910, // where old documents' sound files are looked for

    // Card
    ID_SYNTH_GM = 32786,
    ID_SYNTH_GS = 32787,
    ID_SYNTH_MT32 = 32784,
    ID_SELECT_FX = 32799,
    ID_LOAD_FILE_IN_BANK = 32797,
    ID_CLEAR_CURRENT_BANK = 32785,
    ID_CLEAR_ALL_BANKS = 32800,

    // Context menus of the file list and the preset list
    ID_FILE_LOAD = 32777,     // the selected SoundFont into the current user bank
    ID_FILE_EDIT = 32772,     // the selected file in the desktop's application for it
    ID_PATCH_REPLACE = 32808, // the current slot's patch by the first selected preset

    // View
    ID_VIEW_GENERAL_BAR = 32805,
    ID_VIEW_AWE32_BAR = 32806,
    ID_VIEW_SONG_BAR = 32852,
    ID_VIEW_STATUS_BAR = 59393,
    ID_VIEW_KEYBOARD = 32803,
    ID_VIEW_REFRESH_TREE = 32807,

    // Status bar panes filled by update handlers
    ID_INDICATOR_PATCH = 37,
    ID_INDICATOR_FREE_MEMORY = 512,
    ID_INDICATOR_CARD_STATUS = 33160, // what the card library says is wrong; hidden when all is well
};
