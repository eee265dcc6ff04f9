// Container opening and record extraction on arbitrary bytes: never a crash, the file reader and
// the in-memory reader agree on the index, and extraction stays inside its folder (names that
// would leave it are refused before anything is joined).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_work_folder.h"
#include "package/deed_box.h"
#include "platform/fs.h"

using fuzz_support::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string& folder = fuzz_support::WorkFolder("deed_box_fuzz");
  const std::u16string container = folder + u"box.dat";
  const std::u16string out = folder + u"out";
  {
    platform::File file =
        platform::File::Open(container, platform::FileAccess::kReadWrite, platform::FileDisposition::kCreateAlways);
    if (!file.IsOpen() || !file.Write(data, size)) return 0;
  }
  package::DeedBoxSummary in_memory;
  const bool parsed = package::DescribeDeedBoxBytes(data, size, &in_memory);

  package::DeedBoxPtr box(package::CreateDeedBox());
  const bool opened = box->Open(container.c_str());
  Check(opened == parsed);
  if (opened) {
    const auto& records = static_cast<package::CDeedBox*>(box.get())->Records();
    Check(records.size() == in_memory.records.size());
    box->GetProductList();
    box->GetComposeList();
    size_t extracted = 0;
    for (const auto& record : records) {
      if (++extracted > 8) break;
      box->ExtractRecord(record.name.c_str(), (out + u"/record").c_str());
      if (base::StartsWithIgnoreAsciiCase(record.name, u"DIR-")) {
        const size_t bar = record.name.find(u'|');
        const std::u16string group =
            record.name.substr(4, bar == std::u16string::npos ? std::u16string::npos : bar - 4);
        box->ExtractGroup(group.c_str(), (out + u"/group").c_str());
      }
    }
    box->ExtractFix(1, u"NorvClient", (out + u"/fix").c_str());
    box->Close();
  }
  package::DeleteTree(out.c_str(), true);
  return 0;
}
