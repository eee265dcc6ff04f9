#pragma once
// The two reports the program sends to configured addresses: "already installed" at start-up
// and "install finished" from the finish page. A report is a GET of a URL made from a format in
// a file and the machine identifier; the answer is stored in the working folder and otherwise
// ignored. Every failure is silent for the user and logged.
#include <cstdint>
#include <string>
#include <string_view>

namespace net {

// The format's "%s" filled with the machine identifier; every other "%" sequence stays as
// written (base/placeholder.h). A format without a placeholder is used unchanged.
std::u16string ReportUrl(std::u16string_view format, std::u16string_view machine_id);
// ReportUrl followed by "&File=<program file name>&OEM=<oem text>".
std::u16string SetupReportUrl(std::u16string_view format, std::u16string_view machine_id,
                              std::u16string_view program_file_name, std::u16string_view oem);

// Response files: "<work folder>\norv_<tick as signed decimal>.tmp" and "<work folder>\seturl.tmp".
// The work folder already ends in a separator, so the joined path holds a doubled one, which
// the platform resolves like a single one.
std::u16string AlreadyInstalledResponseFile(std::u16string_view work_folder, uint32_t tick_count);
std::u16string SetupResponseFile(std::u16string_view work_folder);

// GETs url into response_file without resuming and logs ok_text + url on success, or
// failed_text + url with the download's result as module code. Returns the download's result.
uint32_t SendReport(const std::u16string& url, const std::u16string& response_file, const char16_t* ok_text,
                    const char16_t* failed_text);

// The already-installed report with the "url25" format already looked up; for callAlreadyInstance
// and for tests. An empty format still sends (and fails, as an empty URL).
uint32_t SendAlreadyInstalledReport(std::u16string_view url_format, std::u16string_view machine_id,
                                    std::u16string_view work_folder, uint32_t tick_count);

// Windows only ------------------------------------------------------------------------------

// The already-installed report: format "url25" of the installed information file, response
// file named after the tick count. Logs "setup callAlreadyInstance ok! url=" or
// "setup callAlreadyInstance failed, url=".
void callAlreadyInstance();

// The install-finished report with the "Setup" format of section "UrlCall"; an empty format
// sends nothing and logs nothing. Appends the program's file name and the "OEM" registry text.
// Logs "setup call ok! url=" or "setup call failed, url=". The "OEM" text comes from the suite
// key (app::ReadOemName).
void SendSetupReport(const char16_t* url_format);

}  // namespace net
