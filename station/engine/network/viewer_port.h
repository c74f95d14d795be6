// What the links need of the recording viewer: which station it shows, the filters this
// station's archive requests carry, and where archive answers go. `NoViewer` stands in until
// the viewer takes answers.
#pragma once

#include "archive/archive_reader.h"
#include "archive/jpeg_picture.h"
#include "packet_format.h"

namespace station {

class ViewerPort {
public:
    virtual ~ViewerPort() = default;
    // ViewStation: 0 this station's archive, 1..20 a remote station's.
    virtual int ViewStation() const = 0;
    // RequestFiltr, AlarmFiltr and SystemFiltr as they are now.
    virtual archive::ArchFilters RequestFilters() const = 0;
    // An archive answer. `picture` is the decoded stored picture for code 0 (a code-0 answer
    // whose picture does not decode arrives as code -1); `fromShownStation` tells whether the
    // answering link is the station the viewer shows.
    virtual void TakeArchiveAnswer(const ArchAnswerRecord& answer, const archive::Picture* picture,
                                   bool fromShownStation) = 0;
};

class NoViewer : public ViewerPort {
public:
    int ViewStation() const override { return 0; }
    archive::ArchFilters RequestFilters() const override { return {}; }
    void TakeArchiveAnswer(const ArchAnswerRecord&, const archive::Picture*, bool) override {}
};

} // namespace station
