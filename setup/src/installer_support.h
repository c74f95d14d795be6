// Small steps shared by the Install and Remove operations.
#pragma once

#include <windows.h>
#include <win32/winsvc.h>

#include <string>
#include <string_view>

namespace setup {

// printf into a string (the texts are CP1251 bytes; arguments are numbers and ASCII names).
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// The installer's beeps: error, before a question, operation done.
void error_beep();
void question_beep();
void done_beep();

// The system directory (at most 255 characters) with a trailing backslash.
std::string system_directory_slash();
// The slot value name of a Video-for-Windows slot: "MSVIDEO", "MSVIDEO1" ... "MSVIDEO9".
std::string slot_value_name(int slot);
// Locks the service database, trying again every 100 ms until it is had.
SC_LOCK lock_service_database(SC_HANDLE manager);
// ASCII comparison ignoring case, as the system compares file names.
bool same_ignoring_case(std::string_view a, std::string_view b);
// True for the name of one of our capture driver copies, "tarvovfw<digit>.dll" in any case.
bool is_capture_copy_name(std::string_view name);

} // namespace setup
