// The frame archive's readers and position steps over index, group, record and data files
// that come from the input (see memory_archive.h for its form). The first byte picks the
// viewer's filters.
#include "archive/archive_files.h"
#include "archive/archive_reader.h"
#include "archive/archive_search.h"
#include "fuzz_target.h"
#include "memory_archive.h"

namespace {

void check_position(std::int64_t p, std::int64_t total) {
    if (p < 0 || (total > 0 && p >= total)) {
        fuzz::fail("a position step left the archive");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader in(data, size);
    const std::uint8_t filter_bits = in.byte();
    archive::ArchFilters filters;
    for (std::size_t i = 0; i < 16; ++i) {
        filters.request[i] = (filter_bits & 1) == 0;
        filters.alarm[i] = (filter_bits & 2) == 0;
    }
    filters.system.fill((filter_bits & 4) == 0);

    fuzz::MemoryArchiveIo io;
    fuzz::unpack_archive(in.rest(), io);
    const auto index = io.files.find(fuzz::archive_file_names()[0]);
    std::int64_t total = 0;
    if (index != io.files.end()) {
        const archive::ArchIndex a = archive::parse_arch_index(index->second);
        if (index->second.size() >= archive::kArchIndexSize && archive::valid_for_reading(a)) {
            total = a.total;
        }
    }

    for (const bool cyclic : {true, false}) {
        archive::ArchiveState state;
        const archive::ArchiveContext ctx = fuzz::memory_context(state, io, cyclic);
        for (const std::int64_t p : {std::int64_t(0), std::int64_t(1), std::int64_t(2), total - 1,
                                     total, std::int64_t(-1)}) {
            archive::Picture image;
            archive::FrameRecord record;
            double percent = -1;
            const auto r =
                cyclic ? archive::ArchReadCyclic(ctx, p, filters, &image, &record, &percent)
                       : archive::ArchReadLinear(ctx, p, filters, &image, &record, &percent);
            if (r != archive::kNothingRead && (p < 0 || p >= total)) {
                fuzz::fail("a frame read outside the archive");
            }
            std::vector<std::uint8_t> answer;
            const auto a = cyclic ? archive::ArchAnswerCyclic(ctx, p, filters, answer)
                                  : archive::ArchAnswerLinear(ctx, p, filters, answer);
            // The viewer also decodes the frame, so only it may turn a found frame into -1.
            if ((a == archive::kNothingRead && r != a) ||
                ((a == archive::kFilteredOut) != (r == archive::kFilteredOut))) {
                fuzz::fail("the viewer and the answer read different results");
            }
        }
        if (total > 0) {
            check_position(archive::ArchNextPos(ctx, 0), total);
            check_position(archive::ArchPrevPos(ctx, total - 1), total);
            check_position(archive::ArchLastPos(ctx, 0), total);
            check_position(archive::ArchPercentPos(ctx, 0, 55.5), total);
            check_position(archive::ArchPercentPos(ctx, 0, 1e300), total);
            check_position(archive::ArchPercentPos(ctx, 0, -3), total);
        }
    }
    return 0;
}
