// The notice window `TFormInfo`: a borderless yellow window on top of every other, centred on
// the screen, with a heading `Text1` and a message `Text2`; a click on either text closes it.
// `InfoNotice` holds the one instance (`FormInfo`, null while closed) and shows notices in it.
#pragma once

#include "camera/notice_port.h"

#include <QPointer>
#include <QWidget>

class QLabel;

namespace station {

class TFormInfo : public QWidget {
public:
    explicit TFormInfo(QWidget* parent = nullptr);

    QLabel* Text1() const { return text1_; }
    QLabel* Text2() const { return text2_; }

    // Text1Click (both texts): the notice goes.
    void Text1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* text1_ = nullptr;
    QLabel* text2_ = nullptr;
};

class InfoNotice : public NoticePort {
public:
    InfoNotice() = default;
    ~InfoNotice() override;
    InfoNotice(const InfoNotice&) = delete;
    InfoNotice& operator=(const InfoNotice&) = delete;

    // Creates the form when it is not open, shows it, sets the two texts (CP1251) and paints it
    // at once; no other message is handled meanwhile.
    void ShowNotice(const std::string& heading, const std::string& message) override;
    // The open notice, or null.
    TFormInfo* FormInfo() const { return form_; }
    // Frees the open notice (a caller that showed it for a long operation).
    void Free();

private:
    QPointer<TFormInfo> form_;
};

} // namespace station
