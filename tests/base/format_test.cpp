#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "base/format.h"
#include "base/strings.h"

namespace {

std::string U8(const std::u16string& s) { return base::Utf16ToUtf8(s); }

struct Case {
  const char* name;
  std::u16string got;
  std::u16string want;
};

TEST(Format, ConversionsFlagsWidthsAndTheBound) {
  const Case cases[] = {
      {"null wide string", base::Format(100, u"[%s]", static_cast<const char16_t*>(nullptr)), u"[(null)]"},
      {"narrow %S", base::Format(100, u"[%S]", "xyz"), u"[xyz]"},
      {"char", base::Format(100, u"%c%c", u'a', u'安'), u"a安"},
      {"signed", base::Format(100, u"%d %i", -42, INT_MIN), u"-42 -2147483648"},
      {"zero-padded hex", base::Format(100, u"0x%08X %x", 0xbeefu, 0xbeefu), u"0x0000BEEF beef"},
      {"zero pad negative", base::Format(100, u"[%05d]", -42), u"[-0042]"},
      {"minus wins over zero", base::Format(100, u"[%-05d]", 7), u"[7    ]"},
      {"string width", base::Format(100, u"[%4s|%-4s]", u"ab", u"cd"), u"[  ab|cd  ]"},
      {"zero flag ignored for text", base::Format(100, u"[%04s]", u"ab"), u"[  ab]"},
      {"negative star width", base::Format(100, u"[%*d]", -4, 1), u"[1   ]"},
      {"width narrower than text", base::Format(100, u"[%2d]", 12345), u"[12345]"},
      {"long long", base::Format(100, u"%lld %llu", -9000000000LL, 18446744073709551615ULL),
       u"-9000000000 18446744073709551615"},
      {"short narrows", base::Format(100, u"%hd %hu %hx", 65535, 65537, 0x12345), u"-1 1 2345"},
      {"percent", base::Format(100, u"100%%"), u"100%"},
      // An unknown conversion is written as it stands and takes no argument: the next one gets its own.
      {"unknown conversion", base::Format(100, u"%f|%s", u"x"), u"%f|x"},
      {"unknown conversion with flags", base::Format(100, u"%-8.3f|%s", u"x"), u"%-8.3f|x"},
      {"pointer and count", base::Format(100, u"%p %n|%d", 3), u"%p %n|3"},
      {"l on a string: still wide", base::Format(100, u"%ls|%d", u"wide", 4), u"wide|4"},
      {"percent at the end", base::Format(100, u"end%"), u"end%"},
      {"flags at the end", base::Format(100, u"end%-0"), u"end%-0"},
      // The output is cut at the bound.
      {"text cut", base::Format(5, u"%s", u"abcdefgh"), u"abcde"},
      {"padding cut", base::Format(5, u"ab%05d", 1), u"ab000"},
      {"bound 0", base::Format(0, u"abc"), u""},
      {"huge width", base::Format(3, u"%*d", 1000000, 7), u"   "},
      {"no format", base::Format(10, nullptr), u""},
  };
  for (const Case& c : cases) EXPECT_EQ(U8(c.got), U8(c.want)) << c.name;
}

TEST(Format, TheBufferFormKeepsAZeroAfterTheTextAndStaysInsideTheCapacity) {
  char16_t buffer[8];
  for (auto& c : buffer) c = u'#';
  EXPECT_EQ(base::FormatTo(buffer, 5, u"%s-%d", u"abc", 12345), 4u);
  EXPECT_EQ(std::u16string(buffer, 4), u"abc-");
  EXPECT_EQ(buffer[4], 0);
  EXPECT_EQ(buffer[5], u'#');
  EXPECT_EQ(base::FormatTo(buffer, 0, u"abc"), 0u);
  EXPECT_EQ(buffer[0], u'a');  // capacity 0 writes nothing
}

}  // namespace
