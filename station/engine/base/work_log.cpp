#include "work_log.h"

#include "base_state.h"
#include "program_dir.h"

#include <win32/files.h>
#include <win32_owners/find_handle.h>
#include <win32_owners/unique_handle.h>
#include <win32_owners/write_all.h>

#include <cstdio>

namespace station {

namespace {

constexpr long long kMsPerDay = 86400000;

bool has_log_extension(std::string_view name) {
    if (name.size() < 4) {
        return false;
    }
    const std::string_view ext = name.substr(name.size() - 4);
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return ext[0] == '.' && lower(ext[1]) == 'r' && lower(ext[2]) == 'p' && lower(ext[3]) == 't';
}

// Deletes every log file whose date lies more than `ReportDays` days before `now`, counting
// the time of day; files whose names are not dates stay.
void purge(const std::string& dir, const LocalDateTime& now, std::int32_t ReportDays) {
    const long long now_ms = DaysFromCivil(now.year, now.month, now.day) * kMsPerDay +
                             ((now.hour * 60LL + now.minute) * 60 + now.second) * 1000 +
                             now.millisecond;
    const long long keep_ms = static_cast<long long>(ReportDays) * kMsPerDay;
    WIN32_FIND_DATAA entry{};
    const win32_owners::FindHandle search(FindFirstFileA((dir + "/*.rpt").c_str(), &entry));
    if (!search) {
        return;
    }
    do {
        const std::string name = entry.cFileName;
        if (!has_log_extension(name) || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            continue;
        }
        const auto date = ReportFileDate(name);
        if (!date) {
            continue;
        }
        const long long file_ms = DaysFromCivil(date->year, date->month, date->day) * kMsPerDay;
        if (now_ms - file_ms > keep_ms) {
            DeleteFileA((dir + "/" + name).c_str());
        }
    } while (FindNextFileA(search.get(), &entry));
}

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
    const std::string dir = base.ProgramDir;
    const DWORD dir_attributes = GetFileAttributesA(dir.c_str());
    if (dir_attributes == INVALID_FILE_ATTRIBUTES ||
        (dir_attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return;
    }
    const std::string path = ProgramFile(base, WorkLogFileName(now));
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        purge(dir, now, base.ReportDays); // the first line of a new day
    }
    const win32_owners::UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                      nullptr));
    if (file && SetFilePointer(file.get(), 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER) {
        win32_owners::write_all(file.get(), line.data(), line.size());
    }
}

} // namespace station
