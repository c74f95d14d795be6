// The driver's own dialogs (templates in src/dialogs.dlg, in the copy's resource block): Video
// Source on the external-in channel, Video Format on the video-in channel, the read-only Settings
// dialog on the external-out channel, the BOARD dialog reached from Video Source, and the register
// help viewer over "bt878.txt" in the system directory reached from BOARD.
#pragma once

#include "driver_state.h"

#include <span>
#include <string>

namespace tarvovfw {

enum : int {
    kBoardTemplate = 101,
    kHelpTemplate = 102,
    kVideoFormatTemplate = 200,
    kVideoSourceTemplate = 300,
    kSettingsTemplate = 400,
};
inline constexpr int kHelpTopics = 73;

// DVM_DIALOG on `channel`: DV_ERR_NOTSUPPORTED for no settings channel, else 0. With
// VIDEO_DLG_QUERY, or when sent off the thread that owns `owner`, nothing is shown.
LRESULT show_settings_dialog(DeviceInstance& instance, DWORD channel, HWND owner, DWORD flags);

// Each runs its dialog modally on `instance` and answers the dialog's result.
INT_PTR run_video_source_dialog(DeviceInstance& instance, HWND owner);
INT_PTR run_video_format_dialog(DeviceInstance& instance, HWND owner);
INT_PTR run_settings_dialog(DeviceInstance& instance, HWND owner);
INT_PTR run_board_dialog(DeviceInstance& instance, HWND owner);

// The help viewer, opened on `topic`; returns when the operator closes it.
void run_help_viewer(HWND owner, int topic);
// Fills the viewer's list with topic `topic` of the help file; false when the file or the
// topic is missing (after telling the operator).
bool show_help_topic(HWND viewer, int topic);

// Shared by the dialogs.

// Process-wide state the Video Source dialog shares with the Video Format dialog it opens.
struct SourceDialogState {
    bool open = false;
    int size_set = 1; // 0: the 525-line sizes, 1: the 625-line ones
};
SourceDialogState& source_dialog_state();

struct Named {
    int key;
    const char* text;
};
// The video standards the Video Source dialog offers, and the capture formats of Video Format.
inline constexpr Named kStandards[] = {{3, "PAL-B,D,G,H,I"}, {6, "SECAM"}};
inline constexpr Named kFormats[] = {{0, "32 bit RGB"}, {1, "24 bit RGB"}, {3, "15 bit RGB"},
                                     {4, "YUY2"},       {5, "BTYUV"},      {6, "Y8"}};

// True for a 525-line standard: 1, 2 or 4, or automatic (0) while the chip sees no 625-line
// signal.
bool is_525_line(int standard);
// Puts `number` into the "%d" of the dialog's caption.
void set_caption(HWND dlg, int number);
// Fills combo box `id` with `list` (each entry's key as its item data) and selects the entry
// whose key is `key`; none matching selects `fallback` (-1: nothing).
void fill_named(HWND dlg, int id, std::span<const Named> list, int key, int fallback);
// The key of the selected entry of combo box `id`, or `fallback` with nothing selected.
int selected_key(HWND dlg, int id, int fallback);
// The text `list` pairs with `key`, or the number itself for a key it does not hold.
std::string named_text(std::span<const Named> list, int key);

} // namespace tarvovfw
