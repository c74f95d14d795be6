#include "machine/config.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>

#include "platform/paths.h"

namespace machine {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) {
        s.remove_prefix(1);
    }
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
        s.remove_suffix(1);
    }
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

class Parser {
public:
    Parser(std::string_view name) : name_(name) {}

    [[noreturn]] void fail(const std::string& message) const {
        std::ostringstream os;
        os << name_ << ":" << line_ << ": " << message;
        throw ConfigError(line_, os.str());
    }

    long long number(std::string_view text, long long lo, long long hi) const {
        text = trim(text);
        int base = 10;
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            text.remove_prefix(2);
            base = 16;
        }
        long long value = 0;
        auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
        if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) {
            fail("'" + std::string(text) + "' is not a number");
        }
        if (value < lo || value > hi) {
            fail(std::to_string(value) + " is out of range " + std::to_string(lo) + " to " +
                 std::to_string(hi));
        }
        return value;
    }

    std::vector<long long> numbers(std::string_view text, std::size_t min_count,
                                   std::size_t max_count, long long lo, long long hi) const {
        std::vector<long long> out;
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = text.find(',', start);
            out.push_back(number(text.substr(start, comma - start), lo, hi));
            if (comma == std::string_view::npos) {
                break;
            }
            start = comma + 1;
        }
        if (out.size() < min_count || out.size() > max_count) {
            fail("expected " + std::to_string(min_count) +
                 (max_count != min_count ? " to " + std::to_string(max_count) : std::string()) +
                 " values, found " + std::to_string(out.size()));
        }
        return out;
    }

    MachineConfig parse(std::string_view text) {
        MachineConfig cfg;
        cfg.boards.clear();
        std::string section;
        int board = 0, input = 0;
        std::size_t pos = 0;
        while (pos <= text.size()) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string_view::npos) {
                end = text.size();
            }
            ++line_;
            std::string_view line = text.substr(pos, end - pos);
            pos = end + 1;
            if (const std::size_t c = line.find_first_of(";#"); c != std::string_view::npos) {
                line = line.substr(0, c);
            }
            line = trim(line);
            if (line.empty()) {
                continue;
            }
            if (line.front() == '[') {
                if (line.back() != ']') {
                    fail("section header without ']'");
                }
                section = lower(trim(line.substr(1, line.size() - 2)));
                open_section(cfg, section, board, input);
                continue;
            }
            const std::size_t eq = line.find('=');
            if (eq == std::string_view::npos) {
                fail("expected 'key = value'");
            }
            if (section.empty()) {
                fail("key outside a section");
            }
            const std::string key = lower(trim(line.substr(0, eq)));
            const std::string_view value = trim(line.substr(eq + 1));
            if (section == "machine") {
                machine_key(cfg, key, value);
            } else if (section == "faults") {
                fault_key(cfg, key, value);
            } else if (input == 0) {
                board_key(cfg.boards[std::size_t(board - 1)], key, value);
            } else {
                camera_key(cfg.boards[std::size_t(board - 1)].cameras[std::size_t(input - 1)], key,
                           value);
            }
            if (pos > text.size()) {
                break;
            }
        }
        // Camera sections may come before their board's section, so they are checked at the end.
        int boards = std::max(declared_boards_, 1);
        if (board_count_ >= 0) {
            if (declared_boards_ > board_count_) {
                line_ = board_count_line_;
                fail("boards = " + std::to_string(board_count_) + " but [board" +
                     std::to_string(declared_boards_) + "] is described");
            }
            boards = board_count_;
        }
        for (const Check& c : camera_boards_) {
            if (c.number > boards) {
                line_ = c.line;
                fail("board " + std::to_string(c.number) + " has no [board" +
                     std::to_string(c.number) + "] section");
            }
        }
        cfg.boards.resize(std::size_t(boards));
        check_faults(cfg);
        return cfg;
    }

private:
    void ensure_board(MachineConfig& cfg, int board) {
        if (cfg.boards.size() < std::size_t(board)) {
            cfg.boards.resize(std::size_t(board));
        }
    }

    void open_section(MachineConfig& cfg, const std::string& s, int& board, int& input) {
        board = input = 0;
        if (s == "machine" || s == "faults") {
            return;
        }
        if (s.rfind("board", 0) == 0) {
            board = int(number(std::string_view(s).substr(5), 1, 8));
            ensure_board(cfg, board);
            declared_boards_ = std::max(declared_boards_, board);
            return;
        }
        if (s.rfind("camera", 0) == 0) {
            const std::string_view rest = std::string_view(s).substr(6);
            const std::size_t dot = rest.find('.');
            if (dot == std::string_view::npos) {
                fail("camera section must be [cameraB.I] (board, input)");
            }
            board = int(number(rest.substr(0, dot), 1, 8));
            input = int(number(rest.substr(dot + 1), 1, kCrosspointInputs));
            ensure_board(cfg, board);
            camera_boards_.push_back({line_, true, board});
            return;
        }
        fail("unknown section [" + s + "]");
    }

    void machine_key(MachineConfig& cfg, const std::string& key, std::string_view value) {
        if (key == "bridge") {
            cfg.bridge_fitted = number(value, 0, 1) != 0;
        } else if (key == "bridge_dword50") {
            cfg.bridge_dword50 = std::uint32_t(number(value, 0, 0xFFFFFFFFll));
        } else if (key == "pll_lock_ms") {
            cfg.pll_lock_ms = std::uint32_t(number(value, 0, 10000));
        } else if (key == "boards") {
            board_count_ = int(number(value, 0, 8));
            board_count_line_ = line_;
        } else if (key == "crosspoint_busy_ms") {
            cfg.crosspoint_busy_ms = std::uint32_t(number(value, 0, 10000));
        } else {
            fail("unknown key '" + key + "' in [machine]");
        }
    }

    void board_key(BoardConfig& b, const std::string& key, std::string_view value) {
        if (key == "chips") {
            const auto ids = numbers(value, 1, kMaxChipsPerBoard, 0, 0xFFFF);
            const std::uint8_t revision = b.chips.empty() ? 0x11 : b.chips.front().revision;
            b.chips.clear();
            for (long long id : ids) {
                if (id != 0x0350 && id != 0x0351 && id != 0x036E && id != 0x036F) {
                    fail("device id must be 0x0350, 0x0351, 0x036E or 0x036F");
                }
                b.chips.push_back(ChipConfig{std::uint16_t(id), revision});
            }
        } else if (key == "revision") {
            for (ChipConfig& c : b.chips) {
                c.revision = std::uint8_t(number(value, 0, 255));
            }
        } else if (key == "irq") {
            b.irq = std::uint8_t(number(value, 0, 255));
        } else if (key == "crosspoint_bus") {
            b.crosspoint_bus = int(number(value, 1, kMaxChipsPerBoard));
        } else if (key == "dac_bus") {
            b.dac_bus = int(number(value, 1, kMaxChipsPerBoard));
        } else if (key == "relay_bus") {
            b.relay_bus = int(number(value, 1, kMaxChipsPerBoard));
        } else if (key == "sensor_bus") {
            b.sensor_bus = int(number(value, 1, kMaxChipsPerBoard));
        } else if (key == "relay_address") {
            const long long a = number(value, 0, 255);
            if (a != 0x42 && a != 0x72) {
                fail("relay_address must be 0x42 or 0x72");
            }
            b.relay_address = std::uint8_t(a);
        } else if (key == "sensor_address") {
            const long long a = number(value, 0, 255);
            if (a != 0x45 && a != 0x75) {
                fail("sensor_address must be 0x45 or 0x75");
            }
            b.sensor_address = std::uint8_t(a);
        } else {
            fail("unknown key '" + key + "' in a board section");
        }
    }

    void camera_key(CameraConfig& c, const std::string& key, std::string_view value) {
        if (key == "connected") {
            c.connected = number(value, 0, 1) != 0;
        } else if (key == "lines") {
            const long long lines = number(value, 0, 1000);
            if (lines != 625 && lines != 525) {
                fail("lines must be 625 or 525");
            }
            c.lines = int(lines);
        } else if (key == "noise") {
            c.noise = int(number(value, 0, 20));
        } else if (key == "drift") {
            c.drift = int(number(value, 0, 40));
        } else if (key == "object") {
            const auto v = numbers(value, 6, 8, 0, 0xFFFFFFFFll);
            for (std::size_t i = 2; i < v.size(); ++i) {
                if (v[i] > 1000) {
                    fail("object coordinates are per mille (0 to 1000)");
                }
            }
            SceneObject o;
            o.start_ms = std::uint32_t(v[0]);
            o.duration_ms = std::uint32_t(v[1]);
            o.x = int(v[2]);
            o.y = int(v[3]);
            o.width = int(v[4]);
            o.height = int(v[5]);
            o.end_x = v.size() == 8 ? int(v[6]) : o.x;
            o.end_y = v.size() == 8 ? int(v[7]) : o.y;
            c.objects.push_back(o);
        } else {
            fail("unknown key '" + key + "' in a camera section");
        }
    }

    void fault_key(MachineConfig& cfg, const std::string& key, std::string_view value) {
        if (key == "i2c_nack") {
            const auto v = numbers(value, 2, 2, 1, 1000000);
            cfg.faults.i2c_nack.push_back({int(v[0]), int(v[1])});
            checks_.push_back({line_, false, int(v[0])});
        } else if (key == "i2c_hang") {
            const int chip = int(number(value, 1, 32));
            cfg.faults.i2c_hang.push_back(chip);
            checks_.push_back({line_, false, chip});
        } else if (key == "crosspoint_readback") {
            const int board = int(number(value, 1, 8));
            cfg.faults.crosspoint_readback.push_back(board);
            checks_.push_back({line_, true, board});
        } else if (key == "error_bits") {
            const auto v = numbers(value, 2, 2, 0, 0xFFFFFFFFll);
            if (v[1] == 0 || (v[1] & ~0xFF000ll) != 0) {
                fail("error_bits must be INT_STAT bits 12 to 19");
            }
            cfg.faults.error_bits.push_back({int(v[0]), std::uint32_t(v[1])});
            checks_.push_back({line_, false, int(v[0])});
        } else {
            fail("unknown key '" + key + "' in [faults]");
        }
    }

    // Fault lines name chips and boards that may be declared further down: checked at the end.
    void check_faults(const MachineConfig& cfg) {
        int chips = 0;
        for (const BoardConfig& b : cfg.boards) {
            chips += int(b.chips.size());
        }
        for (const Check& c : checks_) {
            const int limit = c.board ? int(cfg.boards.size()) : chips;
            if (c.number < 1 || c.number > limit) {
                line_ = c.line;
                fail(std::string(c.board ? "board " : "chip ") + std::to_string(c.number) +
                     " does not exist");
            }
        }
    }

    struct Check {
        int line;
        bool board;
        int number;
    };
    std::string name_;
    int line_ = 0;
    std::vector<Check> checks_;
    std::vector<Check> camera_boards_;
    int declared_boards_ = 0;
    int board_count_ = -1; // [machine] boards, -1 = as described
    int board_count_line_ = 0;
};

} // namespace

ConfigError::ConfigError(int line, const std::string& message)
    : std::runtime_error(message), line_(line) {}

MachineConfig parse_config(std::string_view text, std::string_view name) {
    return Parser(name).parse(text);
}

MachineConfig load_config(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return MachineConfig{};
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parse_config(text.str(), file.filename().string());
}

MachineConfig load_config() {
    return load_config(platform::resolve_path((platform::system_root() / "machine.ini").string()));
}

} // namespace machine
