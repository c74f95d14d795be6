// The register help viewer. The help file holds one topic per register, each starting with a
// line "{n}"; a topic ends at the next marker or the end of the file.
#include "driver_dialogs.h"

#include "windows.h"

#include <cstdio>
#include <string>
#include <vector>

namespace tarvovfw {
namespace {

int current_topic = 0;

// The whole file, or false when it cannot be opened.
bool read_file(const std::string& path, std::string& out) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        out.append(chunk, got);
    }
    CloseHandle(file);
    return true;
}

// The file's lines without their line ends (LF or CR LF); a last line without one counts.
std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        const bool last = end == std::string::npos;
        if (last) {
            end = text.size();
        }
        std::string line = text.substr(at, end - at);
        if (!last && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        at = end + 1;
    }
    return lines;
}

std::string marker(int topic) {
    char text[16];
    std::snprintf(text, sizeof text, "{%d}", topic);
    return text;
}

INT_PTR CALLBACK help_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_INITDIALOG:
        show_help_topic(dlg, static_cast<int>(lparam));
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wparam);
        int next = -1;
        if (id == 1008) {
            next = 0;
        } else if (id == 1009 && current_topic != 0) {
            next = current_topic - 1;
        } else if (id == 1010 && current_topic != kHelpTopics - 1) {
            next = current_topic + 1;
        } else if (id == IDOK || id == IDCANCEL) {
            EndDialog(dlg, IDOK);
        }
        if (next >= 0) {
            SendDlgItemMessageA(dlg, 1000, LB_RESETCONTENT, 0, 0);
            show_help_topic(dlg, next);
        }
        return TRUE;
    }
    case WM_ENDSESSION:
        if (wparam) {
            EndDialog(dlg, IDCANCEL);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

bool show_help_topic(HWND viewer, int topic) {
    if (topic < 0 || topic > kHelpTopics) {
        return false;
    }
    char directory[MAX_PATH] = {};
    GetSystemDirectoryA(directory, MAX_PATH);
    const std::string path = std::string(directory) + "\\bt878.txt";
    std::string text;
    if (!read_file(path, text)) {
        MessageBoxA(viewer, "Help file is absent", path.c_str(), MB_OK);
        return false;
    }
    const std::vector<std::string> lines = split_lines(text);
    const std::string start = marker(topic), end = marker(topic + 1);
    std::size_t at = 0;
    while (at < lines.size() && lines[at] != start) {
        ++at;
    }
    if (at == lines.size()) {
        MessageBoxA(viewer, "Help item is absent", "", MB_OK);
        return false;
    }
    current_topic = topic;
    for (++at; at < lines.size() && lines[at] != end; ++at) {
        SendDlgItemMessageA(viewer, 1000, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(lines[at].c_str()));
    }
    return true;
}

void run_help_viewer(HWND owner, int topic) {
    DialogBoxParamA(copy().module, MAKEINTRESOURCEA(kHelpTemplate), owner, help_proc, topic);
}

} // namespace tarvovfw
