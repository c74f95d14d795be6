// A DialogHost for tests: a script per dialog template acts as the operator once the dialog
// has run WM_INITDIALOG (reads what it shows, clicks, types, selects, scrolls). A dialog
// without a script, or still running when its script returns, ends with IDCANCEL. Every run
// is recorded.
#pragma once

#include "platform/dialog_host.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class HeadlessDialogHost : public DialogHost {
public:
    using Script = std::function<void(Dialog&)>;
    struct Run {
        std::uint32_t template_id = 0;
        std::string caption; // as the dialog showed it when the script began
        HWND owner = nullptr;
        INT_PTR result = 0; // IDCANCEL when the dialog did not end itself
    };

    // The operator of every later run of `template_id` (replaces an earlier script).
    void on(std::uint32_t template_id, Script script);
    std::vector<Run> runs() const;

    void run(Dialog& dialog, HWND owner) override;

private:
    mutable std::mutex mutex_;
    std::map<std::uint32_t, Script> scripts_;
    std::vector<Run> runs_;
};

} // namespace platform
