#include "net/install_report.h"

#include "app/log.h"
#include "base/placeholder.h"
#include "base/strings.h"
#include "net/download_codes.h"
#include "net/url_down.h"

namespace net {

std::u16string ReportUrl(std::u16string_view format, std::u16string_view machine_id) {
  return base::SubstitutePlaceholders(format, {machine_id});
}

std::u16string SetupReportUrl(std::u16string_view format, std::u16string_view machine_id,
                              std::u16string_view program_file_name, std::u16string_view oem) {
  std::u16string url = ReportUrl(format, machine_id);
  url += u"&File=";
  url += program_file_name;
  url += u"&OEM=";
  url += oem;
  return url;
}

std::u16string AlreadyInstalledResponseFile(std::u16string_view work_folder, uint32_t tick_count) {
  return std::u16string(work_folder) + u"\\norv_" + base::NumberToUtf16(static_cast<int32_t>(tick_count)) + u".tmp";
}

std::u16string SetupResponseFile(std::u16string_view work_folder) {
  return std::u16string(work_folder) + u"\\seturl.tmp";
}

uint32_t SendReport(const std::u16string& url, const std::u16string& response_file, const char16_t* ok_text,
                    const char16_t* failed_text) {
  UrlDownPtr down(CreateUrlDown(nullptr));
  if (!down) return kReportNoDownloader;
  const uint32_t result = down->Download(url.c_str(), response_file.c_str(), false);
  down.reset();
  if (result == 0) {
    app::LogText2(ok_text, url.c_str());
  } else {
    app::LogText2(failed_text, url.c_str(), 0, static_cast<int32_t>(result));
  }
  return result;
}

uint32_t SendAlreadyInstalledReport(std::u16string_view url_format, std::u16string_view machine_id,
                                    std::u16string_view work_folder, uint32_t tick_count) {
  return SendReport(ReportUrl(url_format, machine_id), AlreadyInstalledResponseFile(work_folder, tick_count),
                    u"setup callAlreadyInstance ok! url=", u"setup callAlreadyInstance failed, url=");
}

}  // namespace net
