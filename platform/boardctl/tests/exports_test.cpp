// The library file exports exactly its 42 functions, and the platform's loader finds it under
// the name the station uses.
#include "board_fixture.h"

#include "win32/modules.h"

#include <elf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace boardctl_test {
namespace {

// The defined global and weak symbols of an ELF64 file's dynamic symbol table.
std::set<std::string> exported_symbols(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<std::string> out;
    Elf64_Ehdr eh;
    if (file.size() < sizeof eh) {
        return out;
    }
    std::memcpy(&eh, file.data(), sizeof eh);
    for (int i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr sh;
        std::memcpy(&sh, file.data() + eh.e_shoff + i * sizeof sh, sizeof sh);
        if (sh.sh_type != SHT_DYNSYM) {
            continue;
        }
        Elf64_Shdr strings;
        std::memcpy(&strings, file.data() + eh.e_shoff + sh.sh_link * sizeof strings,
                    sizeof strings);
        for (std::size_t k = 1; k < sh.sh_size / sizeof(Elf64_Sym); ++k) {
            Elf64_Sym sym;
            std::memcpy(&sym, file.data() + sh.sh_offset + k * sizeof sym, sizeof sym);
            const int bind = ELF64_ST_BIND(sym.st_info);
            if (sym.st_shndx != SHN_UNDEF && (bind == STB_GLOBAL || bind == STB_WEAK)) {
                out.insert(file.data() + strings.sh_offset + sym.st_name);
            }
        }
    }
    return out;
}

TEST(BoardLibraryFile, ExportsExactlyItsFunctions) {
    const std::vector<const char*> names = export_names();
    ASSERT_EQ(names.size(), 42u);
    const std::set<std::string> expected(names.begin(), names.end());
    EXPECT_EQ(exported_symbols(TARVOVFW_PATH), expected);
}

TEST(BoardLibraryFile, LoadsUnderTheStationsName) {
    std::string path = TARVOVFW_PATH;
    path.replace(path.rfind('/') + 1, std::string::npos, "TarvoVFW.DLL");
    HMODULE module = LoadLibraryA(path.c_str());
    ASSERT_NE(module, nullptr);
    for (const char* name : export_names()) {
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
    }
    EXPECT_EQ(GetProcAddress(module, "boardctl_core"), nullptr);
    FreeLibrary(module);
}

} // namespace
} // namespace boardctl_test
