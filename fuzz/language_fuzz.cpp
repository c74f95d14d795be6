// The language file: split into lines from memory and from a file, which must agree; every
// line number, in range or not, gives a text.
#include "fuzz_target.h"
#include "base/language.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    station::LanguageList memory;
    memory.SetText(text);

    const auto path = fuzz::scratch_dir() / station::kLanguageFileName;
    fuzz::write_file(path, {data, size});
    station::LanguageList file;
    if (!file.LoadFromFile(path)) {
        fuzz::fail("language file not read");
    }
    if (file.Count() != memory.Count()) {
        fuzz::fail("file and memory give different line counts");
    }
    std::size_t total = 0;
    for (int n = -2; n < memory.Count() + 2; ++n) {
        if (memory[n] != file[n]) {
            fuzz::fail("file and memory give different lines");
        }
        total += memory[n].size();
    }
    if (total > size) {
        fuzz::fail("lines hold more bytes than the file");
    }
    return 0;
}
