// The WAV header parser over whole files and over the first bytes of a longer file.
#include "fuzz_target.h"
#include "alarm/wav_file.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const auto whole = station::ParseWavFile(bytes);
    if (whole) {
        if (whole->channels == 0 || whole->sample_rate == 0 || whole->byte_rate == 0 ||
            whole->block_align == 0) {
            fuzz::fail("a header with a zero field was accepted");
        }
        if (whole->data_bytes > size) {
            fuzz::fail("more sound data than the file holds");
        }
    }
    // The same bytes as the head of files of other sizes.
    const std::size_t head = std::min<std::size_t>(size, 64);
    for (const std::uint64_t file_size : {std::uint64_t(size), std::uint64_t(head),
                                          std::uint64_t(0xFFFFFFFFu), std::uint64_t(1) << 40}) {
        const auto info = station::ParseWavHeader(bytes.first(head), file_size);
        if (info && info->data_bytes > file_size) {
            fuzz::fail("more sound data than the file holds");
        }
    }
    return 0;
}
