#include "message_boxes.h"

namespace station {
namespace {

// Message boxes run on the GUI thread only.
int open_boxes = 0;

struct OpenBox {
    OpenBox() { ++open_boxes; }
    ~OpenBox() { --open_boxes; }
    OpenBox(const OpenBox&) = delete;
    OpenBox& operator=(const OpenBox&) = delete;
};

} // namespace

int StationMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    const OpenBox box;
    return MessageBoxA(owner, text, caption, type);
}

int OpenMessageBoxes() {
    return open_boxes;
}

} // namespace station
