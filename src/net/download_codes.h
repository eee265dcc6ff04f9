#pragma once
// Result codes of IUrlDown::Download. Callers (the download page, the reports) pass them on
// unchanged and log them as module codes.
#include <cstdint>

namespace net {

constexpr uint32_t kDownOk = 0;                 // the file is in place
constexpr uint32_t kDownStopped = 1;            // the callback's IsStop ended the transfer
constexpr uint32_t kDownMissingArgument = 2;    // URL or target path missing
constexpr uint32_t kDownCannotOpenTemp = 100;   // the temporary file cannot be opened
constexpr uint32_t kDownWriteFailed = 104;      // writing the temporary file failed
constexpr uint32_t kDownSeekFailed = 112;       // positioning at the resume offset failed
constexpr uint32_t kDownRenameFailed = 113;     // renaming the temporary file to the target failed
constexpr uint32_t kDownIncomplete = 114;       // the connection ended before the announced length
// 2000 + s: the server answered with a status s other than 200, 206, 301 and 302. 2000 alone:
// no status line arrived, or the header ran past kMaxResponseHeaderBytes.
constexpr uint32_t kDownStatusBase = 2000;
constexpr uint32_t kDownBadUrl = 3000;          // the URL cannot be parsed
constexpr uint32_t kDownNoSocket = 3001;
constexpr uint32_t kDownCannotResolve = 3002;   // the host name cannot be resolved
// The request cannot be sent; also the result of a connection that could not be made, since
// connecting reports no failure of its own and the send on the unconnected socket fails.
constexpr uint32_t kDownSendFailed = 3003;
constexpr uint32_t kDownTooManyRedirects = 3004;  // a fifth redirect in a row
constexpr uint32_t kDownBadRedirect = 3005;       // a redirect without a usable location
// Internal to the transfer, never returned: a 200 answer to a range request.
constexpr uint32_t kDownRestartBody = 3006;

// Result of SendReport (install_report.h) when no downloader could be created (nothing is sent or
// logged).
constexpr uint32_t kReportNoDownloader = 0xFFFFFFFF;

}  // namespace net
