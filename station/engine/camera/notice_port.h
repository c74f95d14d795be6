// The notice window `FormInfo` as the engine asks for it: one instance, shown with a heading and
// a message (CP1251); asking again while it is open only replaces the two texts. The window
// system paints it at once, without handling other messages.
#pragma once

#include <string>

namespace station {

class NoticePort {
public:
    virtual ~NoticePort() = default;
    virtual void ShowNotice(const std::string& heading, const std::string& message) = 0;
};

} // namespace station
