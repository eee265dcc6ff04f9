#include "base/format.h"

#include <cstdint>
#include <cstring>

#include "base/strings.h"

namespace base {
namespace {

// Collects output up to a fixed bound; everything past it is dropped.
class BoundedOutput {
 public:
  explicit BoundedOutput(size_t max_length) : max_(max_length) {}
  void Put(char16_t c) {
    if (text_.size() < max_) text_.push_back(c);
  }
  void Put(const char16_t* s, size_t n) {
    for (size_t i = 0; i < n && text_.size() < max_; ++i) text_.push_back(s[i]);
  }
  void Pad(char16_t c, size_t n) {
    for (size_t i = 0; i < n && text_.size() < max_; ++i) text_.push_back(c);
  }
  bool Full() const { return text_.size() >= max_; }
  std::u16string Take() { return std::move(text_); }

 private:
  size_t max_;
  std::u16string text_;
};

enum class Length { kDefault, kShort, kLong, kLongLong };

struct FieldFormat {
  bool left = false;
  bool zero = false;
  size_t width = 0;
  Length length = Length::kDefault;
};

// Widths beyond this are treated as this: a format of our own never needs more, and it keeps a
// mistaken width from spinning through a huge pad.
constexpr size_t kMaxWidth = 4096;

void PutField(BoundedOutput* out, const FieldFormat& field, const char16_t* text, size_t n, bool numeric,
              bool negative) {
  const size_t total = n + (negative ? 1 : 0);
  const size_t pad = field.width > total ? field.width - total : 0;
  if (field.left) {
    if (negative) out->Put(u'-');
    out->Put(text, n);
    out->Pad(u' ', pad);
  } else if (field.zero && numeric) {
    if (negative) out->Put(u'-');
    out->Pad(u'0', pad);
    out->Put(text, n);
  } else {
    out->Pad(u' ', pad);
    if (negative) out->Put(u'-');
    out->Put(text, n);
  }
}

// Renders magnitude in the given base into the end of buf; returns the first digit's index.
size_t RenderDigits(uint64_t value, unsigned radix, bool upper, char16_t* buf, size_t size) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  size_t i = size;
  do {
    buf[--i] = static_cast<char16_t>(digits[value % radix]);
    value /= radix;
  } while (value != 0);
  return i;
}

int64_t TakeSigned(va_list* args, Length length) {
  switch (length) {
    case Length::kShort: return static_cast<short>(va_arg(*args, int));
    case Length::kLong: return va_arg(*args, long);
    case Length::kLongLong: return va_arg(*args, long long);
    case Length::kDefault: break;
  }
  return va_arg(*args, int);
}

uint64_t TakeUnsigned(va_list* args, Length length) {
  switch (length) {
    case Length::kShort: return static_cast<unsigned short>(va_arg(*args, unsigned int));
    case Length::kLong: return va_arg(*args, unsigned long);
    case Length::kLongLong: return va_arg(*args, unsigned long long);
    case Length::kDefault: break;
  }
  return va_arg(*args, unsigned int);
}

void FormatInto(BoundedOutput* out, const char16_t* format, va_list* args) {
  const char16_t* p = format;
  while (*p && !out->Full()) {
    if (*p != u'%') {
      out->Put(*p++);
      continue;
    }
    const char16_t* start = p++;
    FieldFormat field;
    for (;; ++p) {
      if (*p == u'-') {
        field.left = true;
      } else if (*p == u'0') {
        field.zero = true;
      } else {
        break;
      }
    }
    if (*p == u'*') {
      const int w = va_arg(*args, int);
      if (w < 0) {
        field.left = true;
        field.width = w == INT32_MIN ? kMaxWidth : static_cast<size_t>(-w);
      } else {
        field.width = static_cast<size_t>(w);
      }
      ++p;
    } else {
      while (*p >= u'0' && *p <= u'9') {
        field.width = field.width * 10 + static_cast<size_t>(*p - u'0');
        if (field.width > kMaxWidth) field.width = kMaxWidth;
        ++p;
      }
    }
    if (field.width > kMaxWidth) field.width = kMaxWidth;
    if (*p == u'h') {
      field.length = Length::kShort;
      ++p;
    } else if (*p == u'l') {
      field.length = Length::kLong;
      ++p;
      if (*p == u'l') {
        field.length = Length::kLongLong;
        ++p;
      }
    }
    const char16_t conversion = *p;
    char16_t digits[24];
    switch (conversion) {
      case u'%':
        out->Put(u'%');
        break;
      case u's':
        if (field.length == Length::kShort) {
          const char* s = va_arg(*args, const char*);
          const std::u16string wide = s ? Utf8ToUtf16(s) : std::u16string(u"(null)");
          PutField(out, field, wide.data(), wide.size(), false, false);
        } else {
          const char16_t* s = va_arg(*args, const char16_t*);
          if (!s) s = u"(null)";
          size_t n = 0;
          while (s[n]) ++n;
          PutField(out, field, s, n, false, false);
        }
        break;
      case u'S': {
        const char* s = va_arg(*args, const char*);
        const std::u16string wide = s ? Utf8ToUtf16(s) : std::u16string(u"(null)");
        PutField(out, field, wide.data(), wide.size(), false, false);
        break;
      }
      case u'c': {
        const char16_t c = static_cast<char16_t>(va_arg(*args, int));
        PutField(out, field, &c, 1, false, false);
        break;
      }
      case u'd':
      case u'i': {
        const int64_t v = TakeSigned(args, field.length);
        const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        const size_t first = RenderDigits(magnitude, 10, false, digits, 24);
        PutField(out, field, digits + first, 24 - first, true, v < 0);
        break;
      }
      case u'u':
      case u'x':
      case u'X': {
        const uint64_t v = TakeUnsigned(args, field.length);
        const unsigned radix = conversion == u'u' ? 10 : 16;
        const size_t first = RenderDigits(v, radix, conversion == u'X', digits, 24);
        PutField(out, field, digits + first, 24 - first, true, false);
        break;
      }
      default:
        // Not a conversion we know: copy it as written, including what follows the '%' so far
        // (the character itself too, unless the format ends here). No argument is taken, except
        // a '*' width already read.
        out->Put(start, static_cast<size_t>(p - start));
        if (!*p) return;
        out->Put(*p);
        break;
    }
    ++p;
  }
}

}  // namespace

std::u16string FormatV(size_t max_length, const char16_t* format, va_list args) {
  if (!format) return std::u16string();
  BoundedOutput out(max_length);
  va_list copy;
  va_copy(copy, args);
  FormatInto(&out, format, &copy);
  va_end(copy);
  return out.Take();
}

std::u16string Format(size_t max_length, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::u16string text = FormatV(max_length, format, args);
  va_end(args);
  return text;
}

size_t FormatToV(char16_t* out, size_t capacity, const char16_t* format, va_list args) {
  if (!out || capacity == 0) return 0;
  const std::u16string text = FormatV(capacity - 1, format, args);
  std::memcpy(out, text.data(), text.size() * sizeof(char16_t));
  out[text.size()] = 0;
  return text.size();
}

size_t FormatTo(char16_t* out, size_t capacity, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  const size_t n = FormatToV(out, capacity, format, args);
  va_end(args);
  return n;
}

}  // namespace base
