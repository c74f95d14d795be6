// The main form in the window system, as start-up and shut-down use it. The program's main
// form implements it; `NoWindow` is a station without a window system (the life-cycle tests).
#pragma once

namespace station {

class WindowPort {
public:
    virtual ~WindowPort() = default;
    virtual void ShowMainForm() = 0;
    virtual void HideMainForm() = 0;
    // The main form's caption and menu captions from the language file.
    virtual void SetCaptions() = 0;
    // Asks the application to end once the current handler has returned.
    virtual void Terminate() = 0;
    // Frees the long-lived forms and the open settings forms (shut-down).
    virtual void FreeForms() = 0;
};

class NoWindow : public WindowPort {
public:
    void ShowMainForm() override {}
    void HideMainForm() override {}
    void SetCaptions() override {}
    void Terminate() override {}
    void FreeForms() override {}
};

} // namespace station
