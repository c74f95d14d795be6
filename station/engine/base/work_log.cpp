#include "work_log.h"

#include "platform/paths.h"
#include "base_state.h"
#include "program_dir.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace station {

namespace {

constexpr long long kMsPerDay = 86400000;

bool has_log_extension(const std::string& name) {
    return name.size() >= 4 &&
           platform::iequals(std::string_view(name).substr(name.size() - 4), ".rpt");
}

// Deletes every log file whose date lies more than `ReportDays` days before `now`, counting
// the time of day; files whose names are not dates stay.
void purge(const std::filesystem::path& dir, const LocalDateTime& now, std::int32_t ReportDays) {
    const long long now_ms = DaysFromCivil(now.year, now.month, now.day) * kMsPerDay +
                             ((now.hour * 60LL + now.minute) * 60 + now.second) * 1000 +
                             now.millisecond;
    const long long keep_ms = static_cast<long long>(ReportDays) * kMsPerDay;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code type_ec;
        if (!has_log_extension(name) || !it->is_regular_file(type_ec)) {
            continue;
        }
        const auto date = ReportFileDate(name);
        if (!date) {
            continue;
        }
        const long long file_ms = DaysFromCivil(date->year, date->month, date->day) * kMsPerDay;
        if (now_ms - file_ms > keep_ms) {
            std::error_code rm_ec;
            std::filesystem::remove(it->path(), rm_ec);
        }
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

std::optional<CivilDate> ReportFileDate(std::string_view file_name) {
    if (file_name.size() < 8) {
        return std::nullopt;
    }
    int digits[8];
    for (int i = 0; i < 8; ++i) {
        const char c = file_name[static_cast<std::size_t>(i)];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        digits[i] = c - '0';
    }
    const CivilDate date{digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3],
                         digits[4] * 10 + digits[5], digits[6] * 10 + digits[7]};
    if (!IsValidDate(date.year, date.month, date.day)) {
        return std::nullopt;
    }
    return date;
}

std::string WorkLogFileName(const LocalDateTime& now) {
    char name[32];
    std::snprintf(name, sizeof name, "%04d%02d%02d.rpt", now.year % 10000, now.month % 100,
                  now.day % 100);
    return name;
}

std::string WorkLogLine(int category, const LocalDateTime& now, std::string_view text) {
    char head[32];
    std::snprintf(head, sizeof head, "%02d %02d:%02d:%02d ", category % 100, now.hour % 100,
                  now.minute % 100, now.second % 100);
    std::string line = head;
    line += text;
    line += "\r\n";
    return line;
}

void WriteReport(const BaseState& base, int category, std::string_view text) {
    const std::array<bool, 6>& ReportFlags = base.ReportFlags;
    if (category < 1 || category > 6 || !ReportFlags[0] ||
        !ReportFlags[static_cast<std::size_t>(category - 1)]) {
        return;
    }
    // One reading gives the file's date and the line's time.
    const LocalDateTime now = LocalNow(base);
    const std::string line = WorkLogLine(category, now, text);
    const std::filesystem::path dir = base.ProgramDir;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        return;
    }
    const auto path = ProgramFile(base, WorkLogFileName(now));
    const bool exists = std::filesystem::exists(path, ec);
    if (ec) {
        return;
    }
    if (!exists) {
        purge(dir, now, base.ReportDays);
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "ab"));
    if (file) {
        std::fwrite(line.data(), 1, line.size(), file.get());
    }
}

} // namespace station
