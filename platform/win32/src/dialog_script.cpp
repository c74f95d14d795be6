#include "platform/dialog_script.h"

#include "win32/dialogs.h"

namespace platform {

void HeadlessDialogHost::on(std::uint32_t template_id, Script script) {
    std::lock_guard lock(mutex_);
    scripts_[template_id] = std::move(script);
}

std::vector<HeadlessDialogHost::Run> HeadlessDialogHost::runs() const {
    std::lock_guard lock(mutex_);
    return runs_;
}

void HeadlessDialogHost::run(Dialog& dialog, HWND owner) {
    Run run{dialog.template_id(), dialog.caption(), owner, IDCANCEL};
    Script script;
    {
        std::lock_guard lock(mutex_);
        auto it = scripts_.find(dialog.template_id());
        if (it != scripts_.end()) {
            script = it->second;
        }
    }
    if (script) {
        script(dialog);
    }
    if (dialog.ended()) {
        run.result = dialog.result();
    }
    std::lock_guard lock(mutex_);
    runs_.push_back(std::move(run));
}

} // namespace platform
