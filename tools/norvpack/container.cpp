// norvpack container: creates, extends, lists and extracts package containers ("CVAS").
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "base/path.h"
#include "base/strings.h"
#include "cli.h"
#include "package/deed_box.h"
#include "package/file_utils.h"
#include "package/packed_file.h"
#include "platform/fs.h"

namespace norvpack {
namespace {

constexpr char kUsage[] =
    "usage: norvpack container create OUTPUT [HEADER OPTIONS] [RECORD OPTIONS]\n"
    "       norvpack container add CONTAINER RECORD OPTIONS\n"
    "       norvpack container list CONTAINER\n"
    "       norvpack container extract CONTAINER -o FOLDER\n"
    "       norvpack container extract CONTAINER --group NAME -o FOLDER\n"
    "       norvpack container extract CONTAINER --record NAME -o FILE\n"
    "\n"
    "Package containers hold the products, composes and files that the installer installs, and the\n"
    "skin groups of the wizard. 'create' writes a new container; 'add' appends records to an\n"
    "existing one; 'list' prints its header and records; 'extract' takes records out with the\n"
    "installer's own reader: every record into FOLDER, one file each, named after the record\n"
    "(characters that a file name cannot hold become %XX); one group into FOLDER as the installer\n"
    "extracts it (entries that would leave FOLDER are refused); or one record into FILE.\n"
    "\n"
    "header options (create):\n"
    "  --kind KIND          product (0, default), packet (1, composes without products), skin (3),\n"
    "                       or a number\n"
    "  --products LIST      comma-separated product names, at most 63 characters\n"
    "  --composes LIST      comma-separated compose names, at most 511 characters\n"
    "  --url URL            the package download address of a skin part (stored where the\n"
    "                       compose list goes; use instead of --composes)\n"
    "\n"
    "record options (create, add), repeatable; records are written in the order given; each\n"
    "takes WHAT=PATH, what the record is and the file it holds:\n"
    "  --fix PRODUCT[,N]=FILE            product description \"FIX_<product>_<N>\" (N defaults to 1)\n"
    "  --compose-ini COMPOSE=FILE        compose description \"CNI-<compose up to its first '.'>\"\n"
    "  --compose-file C,F0,F1,NAME=FILE  file of a compose \"COM-<C>_<F0>_<F1>_<NAME>\", stored as is\n"
    "  --packed-compose-file C,F0,F1,NAME=FILE\n"
    "                                    the same, packed first (for entries whose field 2 is 1)\n"
    "  --patch C,A,B,NAME=FILE           patch file \"PCH-<C>_<A>_<B>_<NAME>\"\n"
    "  --group GROUP=FOLDER              every file below FOLDER as \"DIR-<GROUP>|<relative path>\"\n"
    "                                    (hidden entries skipped, names in order)\n"
    "  --record NAME=FILE                a record of any name\n"
    "Record names have at most 63 characters. C, F0, F1, A and B cannot contain commas; NAME is\n"
    "everything after the third comma.\n"
    "\n"
    "Outputs are written under a temporary name and renamed into place only when complete; an\n"
    "output folder of 'extract' must not exist yet. The same inputs give the same bytes.\n"
    "\n"
    "options:\n"
    "  -o, --output PATH    output folder or file of 'extract'\n"
    "  -h, --help           this text\n";

constexpr const char* kRecordOptions[] = {"--fix",   "--compose-ini", "--compose-file", "--packed-compose-file",
                                          "--patch", "--group",       "--record"};

int Usage(const std::string& message) { return UsageError("container", message); }

bool IsRecordOption(const std::string& name) {
  for (const char* option : kRecordOptions) {
    if (name == option) return true;
  }
  return false;
}

std::vector<std::u16string> SplitCommas(const std::u16string& text, size_t max_parts) {
  std::vector<std::u16string> parts;
  size_t start = 0;
  while (parts.size() + 1 < max_parts) {
    const size_t comma = text.find(u',', start);
    if (comma == std::u16string::npos) break;
    parts.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  parts.push_back(text.substr(start));
  return parts;
}

// One record option, checked before anything is written.
struct RecordRequest {
  std::string option;
  std::u16string record_name;  // empty for a group
  std::u16string group;
  std::u16string source;
  bool pack = false;
};

bool ParseRecordOption(const std::string& option, const std::u16string& value, RecordRequest* request,
                       std::string* error) {
  const size_t eq = value.find(u'=');
  if (eq == std::u16string::npos || eq == 0 || eq + 1 == value.size()) {
    *error = option + " needs WHAT=PATH, got '" + Narrow(value) + "'";
    return false;
  }
  // What the record is (a product, a compose, a file of a compose, a group or a plain name).
  const std::u16string what = value.substr(0, eq);
  request->option = option;
  request->source = value.substr(eq + 1);
  if (option == "--fix") {
    const auto parts = SplitCommas(what, 2);
    int n = 1;
    if (parts.size() == 2) {
      const std::string digits = Narrow(parts[1]);
      if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
        *error = "--fix: N must be a number, got '" + digits + "'";
        return false;
      }
      n = std::stoi(digits);
    }
    request->record_name = package::FixRecordName(n, parts[0]);
  } else if (option == "--compose-ini") {
    request->record_name = package::ComposeIniRecordName(what);
  } else if (option == "--compose-file" || option == "--packed-compose-file" || option == "--patch") {
    const auto parts = SplitCommas(what, 4);
    if (parts.size() != 4 || parts[0].empty() || parts[3].empty()) {
      *error = option + " needs COMPOSE,FIELD,FIELD,NAME=PATH, got '" + Narrow(what) + "'";
      return false;
    }
    request->record_name = option == "--patch" ? package::PatchRecordName(parts[0], parts[1], parts[2], parts[3])
                                               : package::ComposeFileRecordName(parts[0], parts[1], parts[2], parts[3]);
    request->pack = option == "--packed-compose-file";
  } else if (option == "--group") {
    if (what.find(u'|') != std::u16string::npos) {
      *error = "--group: a group name cannot contain '|'";
      return false;
    }
    request->group = what;
  } else {
    request->record_name = what;
  }
  if (request->group.empty() && request->record_name.size() > package::kDeedBoxMaxName) {
    *error = "record name '" + Narrow(request->record_name) + "' is longer than " +
             std::to_string(package::kDeedBoxMaxName) + " characters";
    return false;
  }
  return true;
}

bool CollectRecordRequests(const ArgParser& parser, std::vector<RecordRequest>* requests, std::string* error) {
  for (const auto& option : parser.Options()) {
    if (!IsRecordOption(option.first)) continue;
    RecordRequest request;
    if (!ParseRecordOption(option.first, option.second, &request, error)) return false;
    requests->push_back(std::move(request));
  }
  return true;
}

// Writes the requested records into an open container.
bool AddRecords(package::CDeedBox* box, const std::vector<RecordRequest>& requests, std::string* error) {
  Progress progress("adding records", requests.size());
  for (const auto& request : requests) {
    if (!request.group.empty()) {
      if (!platform::IsDirectory(request.source)) {
        *error = "--group " + Narrow(request.group) + ": " + Narrow(request.source) + " is not a folder";
        return false;
      }
      if (!box->AddGroup(request.group.c_str(), request.source.c_str())) {
        *error = "cannot add group " + Narrow(request.group) + " from " + Narrow(request.source) +
                 " (an unreadable file, or a name longer than 63 characters with its prefix)";
        return false;
      }
    } else {
      std::vector<uint8_t> data, packed;
      if (!ReadFileBytes(request.source, &data, error)) return false;
      if (request.pack) {
        if (!package::PackBytes(data.data(), data.size(), &packed)) {
          *error = "cannot pack " + Narrow(request.source);
          return false;
        }
        data.swap(packed);
      }
      if (!box->AddBytes(request.record_name.c_str(), data.data(), data.size())) {
        *error = "cannot add " + Narrow(request.source) + " as " + Narrow(request.record_name);
        return false;
      }
    }
    progress.Advance(1);
  }
  progress.Done();
  return true;
}

bool ParseKind(const std::u16string& text, uint32_t* kind) {
  const std::string k = Narrow(text);
  if (k == "product") *kind = package::kDeedBoxKindProduct;
  else if (k == "packet") *kind = package::kDeedBoxKindComposePacket;
  else if (k == "skin") *kind = package::kDeedBoxKindSkin;
  else if (!k.empty() && k.size() <= 9 && k.find_first_not_of("0123456789") == std::string::npos) *kind = static_cast<uint32_t>(std::stoul(k));
  else return false;
  return true;
}

std::vector<std::string> ValueOptions() {
  std::vector<std::string> options = {"-o", "--output", "--kind", "--products", "--composes", "--url"};
  for (const char* o : kRecordOptions) options.push_back(o);
  return options;
}

int Finish(const std::u16string& temp, const std::u16string& output) {
  if (!platform::MoveFileReplacing(temp, output)) {
    platform::DeleteFileAt(temp);
    return Fail("cannot rename " + Narrow(temp) + " to " + Narrow(output));
  }
  return kExitOk;
}

int Create(const ArgParser& parser) {
  if (parser.Positionals().size() != 2) return Usage("create needs exactly one OUTPUT");
  const std::u16string& output = parser.Positionals()[1];
  for (const char* o : {"-o", "--output"}) {
    if (parser.Has(o)) return Usage(std::string(o) + " is not an option of create");
  }
  uint32_t kind = package::kDeedBoxKindProduct;
  if (parser.Has("--kind") && !ParseKind(parser.Value("--kind"), &kind)) {
    return Usage("--kind must be product, packet, skin or a number");
  }
  if (parser.Has("--url") && parser.Has("--composes")) return Usage("--url and --composes fill the same field");
  const std::u16string composes = parser.Has("--url") ? parser.Value("--url") : parser.Value("--composes");
  const std::u16string products = parser.Value("--products");
  if (composes.size() > package::kDeedBoxMaxComposeList) {
    return Fail("the compose list (or URL) is longer than " + std::to_string(package::kDeedBoxMaxComposeList) +
                " characters");
  }
  if (products.size() > package::kDeedBoxMaxProductList) {
    return Fail("the product list is longer than " + std::to_string(package::kDeedBoxMaxProductList) + " characters");
  }
  std::vector<RecordRequest> requests;
  std::string error;
  if (!CollectRecordRequests(parser, &requests, &error)) return Usage(error);

  const std::u16string temp = output + u".norvpack-tmp";
  package::CDeedBox box;
  if (!box.Create(products.c_str(), temp.c_str(), composes.c_str(), kind)) {
    platform::DeleteFileAt(temp);
    return Fail("cannot create " + Narrow(temp));
  }
  const bool ok = AddRecords(&box, requests, &error);
  box.Close();
  if (!ok) {
    platform::DeleteFileAt(temp);
    return Fail(error);
  }
  return Finish(temp, output);
}

int Add(const ArgParser& parser) {
  if (parser.Positionals().size() != 2) return Usage("add needs exactly one CONTAINER");
  const std::u16string& container = parser.Positionals()[1];
  for (const char* o : {"-o", "--output", "--kind", "--products", "--composes", "--url"}) {
    if (parser.Has(o)) return Usage(std::string(o) + " is not an option of add");
  }
  std::vector<RecordRequest> requests;
  std::string error;
  if (!CollectRecordRequests(parser, &requests, &error)) return Usage(error);
  if (requests.empty()) return Usage("add needs at least one record option");

  const std::u16string temp = container + u".norvpack-tmp";
  if (!platform::CopyFileOverwriting(container, temp)) {
    platform::DeleteFileAt(temp);
    return Fail("cannot read " + Narrow(container));
  }
  package::CDeedBox box;
  if (!box.OpenForAppend(temp.c_str())) {
    platform::DeleteFileAt(temp);
    return Fail(Narrow(container) + " is not a complete package container");
  }
  const bool ok = AddRecords(&box, requests, &error);
  box.Close();
  if (!ok) {
    platform::DeleteFileAt(temp);
    return Fail(error);
  }
  return Finish(temp, container);
}

int List(const ArgParser& parser) {
  if (parser.Positionals().size() != 2) return Usage("list needs exactly one CONTAINER");
  const std::u16string& container = parser.Positionals()[1];
  package::DeedBoxSummary summary;
  if (!package::DescribeDeedBox(container, &summary)) {
    return Fail(Narrow(container) + " is not a package container: " + summary.problem);
  }
  std::printf("kind: %s\n", ContainerKindText(summary.header.kind).c_str());
  std::printf("products: %s\n", Narrow(summary.header.product_list).c_str());
  std::printf("%s: %s\n", summary.header.kind == package::kDeedBoxKindSkin ? "url" : "composes",
              Narrow(summary.header.compose_list).c_str());
  std::printf("records: %zu\n", summary.records.size());
  std::printf("%12s %12s  %s\n", "offset", "length", "name");
  bool complete = true;
  for (size_t i = 0; i < summary.records.size(); ++i) {
    const auto& record = summary.records[i];
    std::printf("%12" PRIu32 " %12" PRIu32 "  %s%s\n", record.data_offset, record.length,
                Narrow(record.name).c_str(), summary.record_complete[i] ? "" : "  (data cut short)");
    complete = complete && summary.record_complete[i];
  }
  return complete ? kExitOk : Fail(Narrow(container) + " is cut short inside its last record");
}

// A record name as one file name: characters that Windows file names cannot hold, control
// characters, '%' and a leading '.' become %XX.
std::u16string RecordFileName(const std::u16string& name) {
  static const std::u16string kUnsafe = u"\\/:*?\"<>|%";
  std::u16string out;
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (c < 0x20 || kUnsafe.find(c) != std::u16string::npos || (i == 0 && c == u'.')) {
      static const char16_t kHex[] = u"0123456789ABCDEF";
      out += u'%';
      out += kHex[(c >> 4) & 0xF];
      out += kHex[c & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

int Extract(const ArgParser& parser) {
  if (parser.Positionals().size() != 2) return Usage("extract needs exactly one CONTAINER");
  const std::u16string& container = parser.Positionals()[1];
  const std::u16string output = parser.Value("--output", parser.Value("-o"));
  if (output.empty()) return Usage("extract needs -o OUTPUT");
  const bool one_group = parser.Has("--group"), one_record = parser.Has("--record");
  if (one_group && one_record) return Usage("--group and --record cannot be combined");
  for (const char* o : {"--kind", "--products", "--composes", "--url", "--fix", "--compose-ini", "--compose-file",
                        "--packed-compose-file", "--patch"}) {
    if (parser.Has(o)) return Usage(std::string(o) + " is not an option of extract");
  }
  package::CDeedBox box;
  if (!box.Open(container.c_str())) {
    package::DeedBoxSummary summary;
    package::DescribeDeedBox(container, &summary);
    return Fail(Narrow(container) + " is not a package container: " + summary.problem);
  }
  const std::u16string temp = output + u".norvpack-tmp";
  if (one_record) {
    const std::u16string name = parser.Value("--record");
    Progress progress("extracting", 1);
    if (!box.ExtractRecord(name.c_str(), temp.c_str())) {
      platform::DeleteFileAt(temp);
      return Fail("cannot extract record " + Narrow(name) + " (not found, cut short, or output not writable)");
    }
    progress.Done();
    return Finish(temp, output);
  }

  if (platform::PathExists(output)) return Fail(Narrow(output) + " exists; extract writes a new folder");
  package::DeleteTree(temp.c_str(), true);
  package::CreatePath((temp + u"\\").c_str());
  if (!platform::IsDirectory(temp)) return Fail("cannot create " + Narrow(temp));
  if (one_group) {
    const std::u16string group = parser.Value("--group");
    Progress progress("extracting", 1);
    if (!box.ExtractGroup(group.c_str(), temp.c_str())) {
      package::DeleteTree(temp.c_str(), true);
      return Fail("cannot extract group " + Narrow(group) +
                  " (an entry names a path outside the folder, is cut short, or cannot be written)");
    }
    progress.Done();
  } else {
    uint64_t total = 0;
    for (const auto& record : box.Records()) total += record.length;
    Progress progress("extracting", total);
    std::vector<std::u16string> written;
    for (const auto& record : box.Records()) {
      // The installer's lookup gives the first of equal names; later ones are not reachable.
      bool seen = false;
      for (const auto& w : written) seen = seen || base::EqualsIgnoreAsciiCase(w, record.name);
      if (seen) continue;
      written.push_back(record.name);
      const std::u16string target = base::JoinPath(temp, RecordFileName(record.name));
      if (!box.ExtractRecord(record.name.c_str(), target.c_str())) {
        package::DeleteTree(temp.c_str(), true);
        return Fail("cannot extract record " + Narrow(record.name) + " (cut short, or output not writable)");
      }
      progress.Advance(record.length);
    }
    progress.Done();
  }
  box.Close();
  if (!platform::MoveFileReplacing(temp, output)) {
    package::DeleteTree(temp.c_str(), true);
    return Fail("cannot rename " + Narrow(temp) + " to " + Narrow(output));
  }
  return kExitOk;
}

int Run(const Args& args) {
  ArgParser parser(args, ValueOptions(), {});
  if (!parser.ok()) return Usage(parser.error());
  if (parser.Positionals().empty()) return Usage("expected a verb: create, add, list or extract");
  const std::string verb = Narrow(parser.Positionals()[0]);
  if (verb == "create") return Create(parser);
  if (verb == "add") return Add(parser);
  if (verb == "list") return List(parser);
  if (verb == "extract") return Extract(parser);
  return Usage("unknown verb '" + verb + "' (create, add, list or extract)");
}

}  // namespace

NORVPACK_COMMAND(container, "container", "create, extend, list and extract package containers (\"CVAS\")", kUsage, Run);

}  // namespace norvpack
