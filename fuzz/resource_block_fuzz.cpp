// The resource block of a module: the first byte picks the form of the rest, a bare block or
// a whole module file whose ".tolm_rsrc" section holds it. A block that parses must
// serialise and parse back to the same content.
#include "fuzz_target.h"
#include "resource_format.h"

namespace {

namespace res = platform::resources;

bool same_block(const res::Block& a, const res::Block& b) {
    if (a.fixed_info != b.fixed_info || a.translations.size() != b.translations.size() ||
        a.version_texts.size() != b.version_texts.size() || a.strings.size() != b.strings.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.translations.size(); ++i) {
        if (a.translations[i].language != b.translations[i].language ||
            a.translations[i].code_page != b.translations[i].code_page) {
            return false;
        }
    }
    for (std::size_t i = 0; i < a.version_texts.size(); ++i) {
        const auto& x = a.version_texts[i];
        const auto& y = b.version_texts[i];
        if (x.table.language != y.table.language || x.table.code_page != y.table.code_page ||
            x.name != y.name || x.text != y.text) {
            return false;
        }
    }
    for (std::size_t i = 0; i < a.strings.size(); ++i) {
        if (a.strings[i].id != b.strings[i].id || a.strings[i].text != b.strings[i].text) {
            return false;
        }
    }
    return true;
}

void check_block(std::span<const std::uint8_t> bytes) {
    const std::size_t stated = res::stated_length(bytes);
    if (stated > bytes.size()) {
        // A header may state more than is there; the record walk must refuse it.
        if (res::records(bytes)) {
            fuzz::fail("records of a block longer than its bytes");
        }
    }
    if (const auto recs = res::records(bytes)) {
        for (const res::Record& r : *recs) {
            if (r.payload > bytes.size() || r.size > bytes.size() - r.payload) {
                fuzz::fail("a record outside its block");
            }
            if (r.kind == res::kVersionText) {
                (void)res::version_text_at(bytes, r);
            } else if (r.kind == res::kString) {
                (void)res::string_at(bytes, r);
            }
        }
    }
    const auto block = res::parse(bytes);
    if (!block) {
        return;
    }
    const auto again = res::parse(res::serialise(*block));
    if (!again || !same_block(*block, *again)) {
        fuzz::fail("a parsed block does not serialise back");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader in(data, size);
    const bool module_file = in.byte() & 1;
    const auto rest = in.rest();
    if (!module_file) {
        check_block(rest);
        return 0;
    }
    const auto path = fuzz::scratch_dir() / "module.dll";
    fuzz::write_file(path, rest);
    if (const auto block = res::read_block(path)) {
        if (block->size() > rest.size()) {
            fuzz::fail("a block longer than its file");
        }
        check_block(*block);
    }
    return 0;
}
