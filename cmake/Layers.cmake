# The program's layers, lowest first. Each is one static library of the
# sources listed here, linked only to layers below it, in the direction
# docs/architecture.md draws:
#
#   platform <- soundfont, synth <- bank                   (tamberly_core: standard C++ only)
#   platform, synth <- cardstate <- aweman, engine         (the emulated card and its sound)
#   engine (soundclient) <- cli, ui <- app                 (the front ends)
#
# src/CMakeLists.txt makes the libraries with tamberly_add_layer; the fuzzers'
# own project (fuzz/CMakeLists.txt) makes its instrumented core from the same
# lists. Every layer records the source folders it may include from (its own
# and those of the layers it links, transitively); tests/layers checks every
# #include "folder/..." of src/ against that record, so a layer that reaches
# up fails the tests even where it happens to build.
#
# Sources are listed, not globbed: a new file is a deliberate change of its
# layer, and one in the wrong folder does not slip into a library.

set(TAMBERLY_PLATFORM_SOURCES
  platform/AtomicFile.cpp platform/ByteStream.cpp platform/CardHome.cpp platform/FileException.cpp
  platform/IniFile.cpp platform/PathNames.cpp platform/ProgramLibrary.cpp platform/RegistryStore.cpp
  platform/RiffFile.cpp platform/StringTable.cpp platform/TextEncoding.cpp
  platform/PiecedSource.cpp platform/WindowedSource.cpp)
set(TAMBERLY_SOUNDFONT_SOURCES
  soundfont/SampleServices.cpp soundfont/SoundFont2Converter.cpp soundfont/SoundFontExtractor.cpp
  soundfont/PresetImage.cpp soundfont/SoundFontReader.cpp soundfont/WaveFile.cpp soundfont/WaveWriter.cpp
  soundfont/SoundFont2Assembler.cpp)
set(TAMBERLY_SYNTH_SOURCES
  synth/AweSession.cpp synth/MidiFile.cpp synth/MidiMessage.cpp synth/MidiPortChoice.cpp synth/PianoLayout.cpp)
set(TAMBERLY_BANK_SOURCES
  bank/ArchiveClasses.cpp bank/ArchiveException.cpp bank/ArchiveReader.cpp bank/ArchiveWriter.cpp
  bank/ClipboardStream.cpp bank/DocumentCommands.cpp bank/DocumentFile.cpp bank/DropPlan.cpp bank/FileHelpers.cpp
  bank/PatchItem.cpp bank/PatchItemCard.cpp bank/PatchItemList.cpp bank/PatchItemListFile.cpp
  bank/PathResolver.cpp bank/ShbFile.cpp bank/TamberlyDoc.cpp bank/TamberlyDocCard.cpp bank/TamberlyDocFiles.cpp
  bank/TamberlyDocImport.cpp bank/TamberlyDocUndo.cpp bank/UndoStack.cpp
  bank/SoundFontExport.cpp bank/TamberlyDocExport.cpp)
# Audio libraries the file formats declare interfaces for and the programs
# install (soundfont/SampleServices.h, soundfont/CompressedSampleDecoder.h): libsndfile
# reads sample files, libsoxr resamples, libvorbisfile decodes SoundFont 3
# samples, libvorbisenc makes them for exports. The core itself never links them. The SoundFont 3 decoder is a
# library of its own: the emulated card's plug-in links only it, not the
# codecs libsndfile brings.
set(TAMBERLY_VORBIS_SOURCES media/VorbisSampleDecoder.cpp)
set(TAMBERLY_MEDIA_SOURCES media/MediaServices.cpp media/SndFileDecoder.cpp media/SoxrResampler.cpp
  media/VorbisSampleEncoder.cpp)
set(TAMBERLY_CARDSTATE_SOURCES cardstate/CardFiles.cpp cardstate/CardJournal.cpp cardstate/CardModel.cpp)
# The emulated card, without its plug-in entry point (aweman/AweManEntry.cpp).
set(TAMBERLY_AWEMAN_SOURCES aweman/CardDriver.cpp aweman/CardListeners.cpp aweman/EmulatedCard.cpp aweman/SynthBank.cpp)
# The card driven by ALSA's Emux driver, without its plug-in entry point (emux/EmuxEntry.cpp).
set(TAMBERLY_EMUX_SOURCES emux/EmuxCard.cpp emux/EmuxPatchBuilder.cpp emux/EmuxUnits.cpp emux/HwdepDevice.cpp)
# The sound engine, without its plug-in entry point (engine/SoundModule.cpp).
set(TAMBERLY_ENGINE_SOURCES
  engine/AudioOutput.cpp engine/CardChangeListener.cpp engine/CardEffects.cpp engine/CardEngine.cpp
  engine/CardFonts.cpp engine/CardMidiPort.cpp engine/CardSoundMap.cpp engine/CardStateWatcher.cpp
  engine/ChannelRouter.cpp engine/FluidLog.cpp engine/MemoryFontLoader.cpp engine/OfflineRenderer.cpp
  engine/PreviewChannel.cpp engine/SongPlayer.cpp engine/SoundFileWriter.cpp)
# What the programs link of the engine: its loader and the keyboard's output.
set(TAMBERLY_SOUNDCLIENT_SOURCES engine/SoundEngineLoader.cpp engine/EngineMidiDevices.cpp)
set(TAMBERLY_CLI_SOURCES
  cli/CardCommands.cpp cli/CardSoundCommands.cpp cli/CliFiles.cpp cli/CliHelp.cpp cli/CliText.cpp cli/ConvertCommand.cpp
  cli/InfoCommand.cpp cli/TmbCommands.cpp cli/WaveCommands.cpp cli/main.cpp)
# Headers are listed with the Qt layers so that automoc sees a new header as a
# change of its target and never leaves its moc code out of an existing build.
set(TAMBERLY_UI_SOURCES
  ui/CommandRouter.cpp ui/CommandRouter.h ui/CommandTarget.h ui/ItemRoles.h ui/PatchMimeData.cpp ui/PatchMimeData.h
  ui/RightButtonDrag.cpp ui/RightButtonDrag.h
  ui/FileFilter.cpp ui/FileFilter.h ui/Profile.cpp ui/Profile.h ui/UiText.cpp ui/UiText.h ui/WaitCursor.h
  ui/frame/BankViewModel.cpp ui/frame/BankViewModel.h ui/frame/Images.cpp ui/frame/Images.h ui/frame/LockKeys.cpp ui/frame/LockKeys.h
  ui/frame/MainFrame.cpp ui/frame/MainFrame.h ui/frame/ReportList.h ui/frame/SlotList.h
  ui/frame/SongBar.cpp ui/frame/SongBar.h
  ui/frame/TamberlyView.cpp ui/frame/TamberlyView.h ui/frame/TamberlyViewDrag.cpp
  ui/keyboard/KeyboardDevices.cpp ui/keyboard/KeyboardDevices.h ui/keyboard/MidiKeyboardDlg.cpp
  ui/keyboard/MidiKeyboardDlg.h ui/keyboard/PianoCtrl.cpp ui/keyboard/PianoCtrl.h
  ui/keyboard/RtMidiDevices.cpp ui/keyboard/RtMidiDevices.h
  ui/panes/ColumnSizer.cpp ui/panes/ColumnSizer.h
  ui/panes/FileListModel.cpp ui/panes/FileListModel.h ui/panes/FileView.cpp ui/panes/FileView.h
  ui/panes/FolderView.cpp ui/panes/FolderView.h ui/panes/ListPaneModel.cpp ui/panes/ListPaneModel.h
  ui/panes/PaneMenu.cpp ui/panes/PaneMenu.h ui/panes/PatchListModel.cpp ui/panes/PatchListModel.h
  ui/panes/PatchView.cpp ui/panes/PatchView.h ui/panes/SortState.h
  ui/panes/PresetPreview.cpp ui/panes/PresetPreview.h
  ui/panes/SoundFontInfoDialog.cpp ui/panes/SoundFontInfoDialog.h
  ui/sheets/AboutDialog.cpp ui/sheets/AboutDialog.h ui/sheets/Artwork.cpp ui/sheets/Artwork.h
  ui/sheets/Dialogs.cpp ui/sheets/Dialogs.h ui/sheets/HelpWindow.cpp ui/sheets/HelpWindow.h
  ui/sheets/ManualText.cpp ui/sheets/ManualText.h ui/sheets/FxEditPage1.cpp ui/sheets/FxEditPage1.h
  ui/sheets/MissingFilesDialog.cpp ui/sheets/MissingFilesDialog.h ui/sheets/SettingsDialog.cpp ui/sheets/SettingsDialog.h
  ui/sheets/FxEditSheet.cpp ui/sheets/FxEditSheet.h ui/sheets/MachineStatus.cpp ui/sheets/MachineStatus.h
  ui/sheets/PatchEditPage1.cpp ui/sheets/PatchEditPage1.h ui/sheets/PatchEditSheet.cpp
  ui/sheets/PatchEditSheet.h ui/sheets/PropertyPage.cpp ui/sheets/PropertyPage.h
  ui/sheets/PropertySheet.cpp ui/sheets/PropertySheet.h ui/sheets/QtEffectsRunner.cpp
  ui/sheets/QtEffectsRunner.h ui/sheets/QtInfoRunner.cpp ui/sheets/QtInfoRunner.h
  ui/sheets/QtPatchPropertiesRunner.cpp ui/sheets/QtPatchPropertiesRunner.h
  ui/sheets/SplashWindow.cpp ui/sheets/SplashWindow.h ui/sheets/TipDialog.cpp ui/sheets/TipDialog.h
  ui/sheets/TipsFile.cpp ui/sheets/TipsFile.h ui/sheets/TmbInfoPage.cpp ui/sheets/TmbInfoPage.h
  ui/sheets/TmbInfoSheet.cpp ui/sheets/TmbInfoSheet.h 
  ui/sheets/UpDownCtrl.cpp ui/sheets/UpDownCtrl.h
  ui/sheets/ExportOptionsDialog.cpp ui/sheets/ExportOptionsDialog.h)
# The application: everything of the window but main() (app/main.cpp).
set(TAMBERLY_APP_SOURCES
  app/CommandLineInfo.cpp app/CommandLineInfo.h app/DocTemplate.cpp app/DocTemplate.h
  app/DocumentTarget.cpp app/DocumentTarget.h
  app/IdleProcessor.cpp app/IdleProcessor.h app/RecentFileList.cpp app/RecentFileList.h
  app/TamberlyApp.cpp app/TamberlyApp.h app/UserPrompts.cpp app/UserPrompts.h
  app/SettingsApplier.cpp app/SettingsApplier.h)

# tamberly_add_layer(NAME [MODULE] FOLDER folder SOURCES ... [LAYERS lower layers...])
# A static library of the sources (relative to src/) that may include from
# its folder and from those the lower layers may. Without SOURCES it only
# records what FOLDER may include (an executable's folder). Anything else a
# layer links (Qt, FluidSynth...) is linked by the caller.
function(tamberly_add_layer name)
  cmake_parse_arguments(LAYER "" "FOLDER" "SOURCES;LAYERS" ${ARGN})
  set(allowed ${LAYER_FOLDER})
  foreach(lower ${LAYER_LAYERS})
    get_property(lower_allowed GLOBAL PROPERTY TAMBERLY_LAYER_FOLDERS_${lower} SET)
    if(NOT lower_allowed)
      message(FATAL_ERROR "layer ${name}: ${lower} is not a layer defined before it")
    endif()
    get_property(lower_allowed GLOBAL PROPERTY TAMBERLY_LAYER_FOLDERS_${lower})
    list(APPEND allowed ${lower_allowed})
  endforeach()
  list(REMOVE_DUPLICATES allowed)
  list(SORT allowed)
  set_property(GLOBAL PROPERTY TAMBERLY_LAYER_FOLDERS_${name} ${allowed})
  string(REPLACE ";" " " allowed_text "${allowed}")
  set_property(GLOBAL APPEND PROPERTY TAMBERLY_LAYER_RULES "${LAYER_FOLDER}: ${allowed_text}")
  if(LAYER_SOURCES)
    list(TRANSFORM LAYER_SOURCES PREPEND ${TAMBERLY_SOURCE_ROOT}/)
    add_library(${name} STATIC ${LAYER_SOURCES})
    target_link_libraries(${name} PUBLIC ${LAYER_LAYERS})
  endif()
endfunction()

# Writes every layer's rule, "folder: folders it may include from", one a
# line (a folder shared by two layers has two lines; an include passes when
# any of them allows it), for tests/layers.
function(tamberly_write_layer_rules file)
  get_property(rules GLOBAL PROPERTY TAMBERLY_LAYER_RULES)
  list(JOIN rules "\n" text)
  file(WRITE ${file} "${text}\n")
endfunction()

# The layers both the program's build and the fuzzers' own project make
# alike: the core, the card's state and the emulated card's model (without
# its plug-in entry point). TAMBERLY_SOURCE_ROOT names src/; version is what
# TAMBERLY_VERSION says.
function(tamberly_add_core_layers version)
  # The core: the file formats, the card's call contract and the document,
  # standard C++ only (no Qt on its include path: the core builds on a machine
  # without Qt). tamberly_core is all four layers together.
  tamberly_add_layer(tamberly_platform FOLDER platform SOURCES ${TAMBERLY_PLATFORM_SOURCES})
  target_include_directories(tamberly_platform PUBLIC ${TAMBERLY_SOURCE_ROOT} ${TAMBERLY_SOURCE_ROOT}/../res)
  target_link_libraries(tamberly_platform PUBLIC ${CMAKE_DL_LIBS})
  target_compile_definitions(tamberly_platform PUBLIC TAMBERLY_VERSION="${version}")
  tamberly_add_layer(tamberly_soundfont FOLDER soundfont SOURCES ${TAMBERLY_SOUNDFONT_SOURCES} LAYERS tamberly_platform)
  tamberly_add_layer(tamberly_synth FOLDER synth SOURCES ${TAMBERLY_SYNTH_SOURCES} LAYERS tamberly_platform)
  # The media layer above the file formats (see TAMBERLY_MEDIA_SOURCES); the
  # emulated card links its SoundFont 3 decoder to count and copy samples.
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(SndFile REQUIRED IMPORTED_TARGET GLOBAL sndfile)
  pkg_check_modules(Soxr REQUIRED IMPORTED_TARGET GLOBAL soxr)
  pkg_check_modules(VorbisFile REQUIRED IMPORTED_TARGET GLOBAL vorbisfile)
  tamberly_add_layer(tamberly_vorbis FOLDER media SOURCES ${TAMBERLY_VORBIS_SOURCES}
    LAYERS tamberly_soundfont tamberly_platform)
  target_link_libraries(tamberly_vorbis PRIVATE PkgConfig::VorbisFile)
  tamberly_add_layer(tamberly_media FOLDER media SOURCES ${TAMBERLY_MEDIA_SOURCES}
    LAYERS tamberly_vorbis tamberly_soundfont tamberly_platform)
  pkg_check_modules(VorbisEnc REQUIRED IMPORTED_TARGET GLOBAL vorbisenc vorbis ogg)
  target_link_libraries(tamberly_media PRIVATE PkgConfig::SndFile PkgConfig::Soxr PkgConfig::VorbisEnc)
  tamberly_add_layer(tamberly_bank FOLDER bank SOURCES ${TAMBERLY_BANK_SOURCES}
    LAYERS tamberly_soundfont tamberly_synth tamberly_platform)
  add_library(tamberly_core INTERFACE)
  target_link_libraries(tamberly_core INTERFACE tamberly_bank tamberly_soundfont tamberly_synth tamberly_platform)
  set_property(GLOBAL PROPERTY TAMBERLY_LAYER_FOLDERS_tamberly_core bank platform soundfont synth)

  # The card's state (CCardModel and its text format) on its own: the emulated
  # card writes it, and the sound engine, in the programs that play, reads it.
  tamberly_add_layer(tamberly_cardstate FOLDER cardstate SOURCES ${TAMBERLY_CARDSTATE_SOURCES}
    LAYERS tamberly_synth tamberly_platform)

  # The emulated card: a plug-in the program loads at run time as its card
  # manager library. Its model is a static library of its own so the tests can
  # check it directly; the plug-in exports AWEManager and nothing else (the code
  # it links in from static libraries is hidden too).
  tamberly_add_layer(tamberly_aweman FOLDER aweman SOURCES ${TAMBERLY_AWEMAN_SOURCES}
    LAYERS tamberly_cardstate tamberly_vorbis tamberly_soundfont tamberly_synth tamberly_platform)
endfunction()
