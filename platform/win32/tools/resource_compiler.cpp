// tolm_rsrcgen <description> <output.cpp>
// Turns a resource description into a C++ source that puts the resource block (format in
// src/resource_format.h) into the section ".tolm_rsrc" of the module it is linked into.
//
// Description, one item per line, texts in UTF-8 with the escapes \n, \t and \\:
//   translation <language and code page as 8 hex digits>   (040904E4 when absent)
//   file_version <a> <b> <c> <d>
//   product_version <a> <b> <c> <d>
//   file_type <number>
//   version <name>=<text>                                  (a text of the current table)
//   string <id>=<text>                                     (a string-table entry)
//   dialog <id> <x> <y> <width> <height> <caption>          (a dialog template, dialog units)
//   font <point size> <name>                               (of the last dialog; 8, "MS Sans Serif")
//   control <kind> <id> <x> <y> <width> <height> <flags> <text>
//       a control of the last dialog; kind: button, default, checkbox, radio, group, static,
//       edit, list, combo, hscroll; flags "-" or a comma list of disabled, hidden, group,
//       tabstop, readonly, sort, tabstops
#include "../src/resource_format.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace res = platform::resources;

namespace {

std::u16string utf8_to_utf16(const std::string& s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c >> 4) == 0xE) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c >> 3) == 0x1E) {
            len = 4;
            cp = c & 0x07;
        }
        if (len > 1) {
            if (i + len > s.size()) {
                cp = 0xFFFD;
                len = 1;
            } else {
                for (std::size_t k = 1; k < len; ++k) {
                    const unsigned char cc = static_cast<unsigned char>(s[i + k]);
                    if ((cc >> 6) != 0x2) {
                        cp = 0xFFFD;
                        len = k;
                        break;
                    }
                    cp = (cp << 6) | (cc & 0x3F);
                }
            }
        }
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp > 0xFFFF ? 0xFFFD : cp);
        }
        i += len;
    }
    return out;
}

std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const char n = s[++i];
            out += n == 'n' ? '\n' : n == 't' ? '\t' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool fail(const std::string& what, int line) {
    std::cerr << "tolm_rsrcgen: line " << line << ": " << what << "\n";
    return false;
}

std::uint32_t version_word(std::uint32_t hi, std::uint32_t lo) {
    return (hi << 16) | (lo & 0xFFFF);
}

// Splits `rest` into `count` blank-separated words and the text after them (may be empty).
bool split_words(const std::string& rest, std::size_t count, std::vector<std::string>& words,
                 std::string& text) {
    words.clear();
    std::size_t at = 0;
    while (words.size() < count) {
        if (at >= rest.size()) {
            return false;
        }
        const std::size_t space = rest.find(' ', at);
        words.push_back(rest.substr(at, space - at));
        at = space == std::string::npos ? rest.size() : space + 1;
    }
    text = at < rest.size() ? rest.substr(at) : "";
    return true;
}

std::int16_t unit(const std::string& word) {
    return std::int16_t(std::stoi(word));
}

bool control_kind(const std::string& word, std::uint16_t& kind) {
    static const std::pair<const char*, res::DialogControl::Kind> kinds[] = {
        {"button", res::DialogControl::kPushButton},
        {"default", res::DialogControl::kDefaultButton},
        {"checkbox", res::DialogControl::kCheckBox},
        {"radio", res::DialogControl::kRadioButton},
        {"group", res::DialogControl::kGroupBox},
        {"static", res::DialogControl::kStatic},
        {"edit", res::DialogControl::kEdit},
        {"list", res::DialogControl::kListBox},
        {"combo", res::DialogControl::kComboBox},
        {"hscroll", res::DialogControl::kScrollBar},
    };
    for (const auto& [name, k] : kinds) {
        if (word == name) {
            kind = k;
            return true;
        }
    }
    return false;
}

// Win32 style bits of a flag list; false for an unknown flag.
bool control_style(const std::string& flags, std::uint32_t& style) {
    style = 0x10000000u; // WS_VISIBLE
    if (flags == "-") {
        return true;
    }
    static const std::pair<const char*, std::uint32_t> bits[] = {
        {"disabled", 0x08000000u}, {"group", 0x00020000u}, {"tabstop", 0x00010000u},
        {"readonly", 0x00000800u}, {"sort", 0x00000002u},  {"tabstops", 0x00000080u},
    };
    std::size_t at = 0;
    while (at <= flags.size()) {
        const std::size_t comma = flags.find(',', at);
        const std::string flag = flags.substr(at, comma - at);
        bool known = flag == "hidden";
        if (known) {
            style &= ~0x10000000u;
        }
        for (const auto& [name, bit] : bits) {
            if (flag == name) {
                style |= bit;
                known = true;
            }
        }
        if (!known) {
            return false;
        }
        if (comma == std::string::npos) {
            break;
        }
        at = comma + 1;
    }
    return true;
}

bool read_description(std::istream& in, res::Block& block) {
    std::array<std::uint32_t, 13> fixed{};
    fixed[0] = 0xFEEF04BDu; // signature
    fixed[1] = 0x00010000u; // structure version
    fixed[2] = version_word(1, 0);
    fixed[4] = version_word(1, 0);
    fixed[6] = 0x3Fu;       // flags mask
    fixed[8] = 0x00040004u; // NT, 32-bit Windows
    bool product_given = false;
    res::Translation table{0x0409, 0x04E4};
    bool table_listed = false;

    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        const auto space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "translation") {
            unsigned long v = 0;
            if (rest.size() != 8 || std::sscanf(rest.c_str(), "%lx", &v) != 1) {
                return fail("translation needs 8 hex digits", n);
            }
            table = res::Translation{std::uint16_t(v >> 16), std::uint16_t(v)};
            block.translations.push_back(table);
            table_listed = true;
        } else if (key == "file_version" || key == "product_version") {
            unsigned a, b, c, d;
            if (std::sscanf(rest.c_str(), "%u %u %u %u", &a, &b, &c, &d) != 4) {
                return fail(key + " needs four numbers", n);
            }
            const std::size_t at = key == "file_version" ? 2 : 4;
            fixed[at] = version_word(a, b);
            fixed[at + 1] = version_word(c, d);
            if (key == "product_version") {
                product_given = true;
            } else if (!product_given) {
                fixed[4] = fixed[2];
                fixed[5] = fixed[3];
            }
        } else if (key == "file_type") {
            fixed[9] = std::uint32_t(std::stoul(rest));
        } else if (key == "version" || key == "string") {
            const auto eq = rest.find('=');
            if (eq == std::string::npos || eq == 0) {
                return fail(key + " needs <name>=<text>", n);
            }
            const std::string name = rest.substr(0, eq);
            const std::u16string text = utf8_to_utf16(unescape(rest.substr(eq + 1)));
            if (text.size() > 0xFFFF) {
                return fail("text too long", n);
            }
            if (key == "version") {
                if (!table_listed) {
                    block.translations.push_back(table);
                    table_listed = true;
                }
                block.version_texts.push_back(res::VersionText{table, utf8_to_utf16(name), text});
            } else {
                block.strings.push_back(res::StringEntry{std::uint32_t(std::stoul(name)), text});
            }
        } else if (key == "dialog") {
            std::vector<std::string> w;
            std::string caption;
            if (!split_words(rest, 5, w, caption)) {
                return fail("dialog needs <id> <x> <y> <width> <height> <caption>", n);
            }
            res::DialogTemplate d;
            d.id = std::uint32_t(std::stoul(w[0]));
            d.x = unit(w[1]);
            d.y = unit(w[2]);
            d.width = unit(w[3]);
            d.height = unit(w[4]);
            d.caption = utf8_to_utf16(unescape(caption));
            d.font = u"MS Sans Serif";
            block.dialogs.push_back(std::move(d));
        } else if (key == "font" || key == "control") {
            if (block.dialogs.empty()) {
                return fail(key + " before any dialog", n);
            }
            res::DialogTemplate& d = block.dialogs.back();
            std::vector<std::string> w;
            std::string text;
            if (key == "font") {
                if (!split_words(rest, 1, w, text) || text.empty()) {
                    return fail("font needs <point size> <name>", n);
                }
                d.point_size = std::uint16_t(std::stoul(w[0]));
                d.font = utf8_to_utf16(text);
                continue;
            }
            res::DialogControl c;
            if (!split_words(rest, 7, w, text) || !control_kind(w[0], c.kind) ||
                !control_style(w[6], c.style)) {
                return fail("control needs <kind> <id> <x> <y> <width> <height> <flags> <text>", n);
            }
            c.id = std::uint32_t(std::stoul(w[1]));
            c.x = unit(w[2]);
            c.y = unit(w[3]);
            c.width = unit(w[4]);
            c.height = unit(w[5]);
            c.text = utf8_to_utf16(unescape(text));
            d.controls.push_back(std::move(c));
        } else {
            return fail("unknown item " + key, n);
        }
    }
    block.fixed_info = fixed;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: tolm_rsrcgen <description> <output.cpp>\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "tolm_rsrcgen: cannot read " << argv[1] << "\n";
        return 1;
    }
    res::Block block;
    try {
        if (!read_description(in, block)) {
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "tolm_rsrcgen: " << e.what() << "\n";
        return 1;
    }
    const auto bytes = res::serialise(block);
    std::ostringstream out;
    out << "// Generated by tolm_rsrcgen; do not edit.\n"
        << "alignas(4) __attribute__((section(\"" << res::kSectionName
        << "\"), used)) static const unsigned char tolm_resource_block[" << bytes.size() << "] = {";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out << (i % 16 == 0 ? "\n    " : " ") << unsigned(bytes[i]) << ",";
    }
    out << "\n};\n";
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file << out.str();
    return file ? 0 : 1;
}
