#include "device/platform/wide_format.h"

#include <algorithm>
#include <limits>
#include <string>

namespace corvash::ce {
namespace {

// Collects output up to the buffer's room; the rest is dropped.
class BoundedOut {
 public:
  explicit BoundedOut(std::span<WCHAR> buffer) : buffer_(buffer) {}
  void Put(char16_t unit) {
    if (length_ + 1 < buffer_.size()) buffer_[length_++] = unit;
  }
  void Put(std::u16string_view text) {
    for (char16_t unit : text) Put(unit);
  }
  int Finish() {
    if (buffer_.empty()) return 0;
    buffer_[length_] = 0;
    return static_cast<int>(length_);
  }

 private:
  std::span<WCHAR> buffer_;
  size_t length_ = 0;
};

struct Directive {
  bool left = false;
  bool zero = false;
  size_t width = 0;
  char16_t conversion = 0;
};

std::u16string Digits(uint64_t value, unsigned base, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::u16string out;
  do {
    out.insert(out.begin(), static_cast<char16_t>(digits[value % base]));
    value /= base;
  } while (value != 0);
  return out;
}

// The text of one conversion, before padding.
std::u16string Convert(const Directive& directive, const FormatArg* arg) {
  const bool text = arg != nullptr && arg->kind() == FormatArg::Kind::Text;
  const int64_t number = (arg != nullptr && !text) ? arg->number() : 0;
  switch (directive.conversion) {
    case u'd':
    case u'i':
      return number < 0 ? u"-" + Digits(static_cast<uint64_t>(-number), 10, false)
                        : Digits(static_cast<uint64_t>(number), 10, false);
    case u'u': return Digits(static_cast<uint32_t>(number), 10, false);
    case u'x': return Digits(static_cast<uint32_t>(number), 16, false);
    case u'X': return Digits(static_cast<uint32_t>(number), 16, true);
    case u'c': return text ? std::u16string() : std::u16string(1, static_cast<char16_t>(number));
    case u's':
    case u'S': return text ? std::u16string(arg->text()) : std::u16string();
    default: return std::u16string();
  }
}

void Pad(BoundedOut& out, const Directive& directive, const std::u16string& value) {
  const size_t fill = directive.width > value.size() ? directive.width - value.size() : 0;
  if (directive.left) {
    out.Put(value);
    for (size_t i = 0; i < fill; ++i) out.Put(u' ');
    return;
  }
  const bool zeros = directive.zero && directive.conversion != u's' && directive.conversion != u'S';
  size_t start = 0;
  if (zeros && !value.empty() && value[0] == u'-') {
    out.Put(u'-');
    start = 1;
  }
  for (size_t i = 0; i < fill; ++i) out.Put(zeros ? u'0' : u' ');
  out.Put(std::u16string_view(value).substr(start));
}

}  // namespace

int FormatWide(std::span<WCHAR> buffer, std::u16string_view format, std::initializer_list<FormatArg> args) {
  BoundedOut out(buffer);
  const FormatArg* next = args.begin();
  size_t i = 0;
  while (i < format.size()) {
    const char16_t unit = format[i++];
    if (unit != u'%') {
      out.Put(unit);
      continue;
    }
    if (i < format.size() && format[i] == u'%') {
      out.Put(u'%');
      ++i;
      continue;
    }
    Directive directive;
    for (; i < format.size() && (format[i] == u'-' || format[i] == u'0'); ++i) {
      (format[i] == u'-' ? directive.left : directive.zero) = true;
    }
    for (; i < format.size() && format[i] >= u'0' && format[i] <= u'9'; ++i) {
      directive.width = std::min<size_t>(directive.width * 10 + (format[i] - u'0'), 1024);
    }
    while (i < format.size() && (format[i] == u'l' || format[i] == u'h' || format[i] == u'w')) ++i;
    if (i >= format.size()) break;
    directive.conversion = format[i++];
    const FormatArg* arg = next != args.end() ? next++ : nullptr;
    Pad(out, directive, Convert(directive, arg));
  }
  return out.Finish();
}

int _wtoi(const WCHAR* text) {
  if (text == nullptr) return 0;
  while (*text == u' ' || *text == u'\t') ++text;
  const bool negative = *text == u'-';
  if (*text == u'-' || *text == u'+') ++text;
  int64_t value = 0;
  for (; *text >= u'0' && *text <= u'9'; ++text) {
    value = value * 10 + (*text - u'0');
    if (value > int64_t{1} << 32) value = int64_t{1} << 32;  // far enough past any int
  }
  value = negative ? -value : value;
  if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

}  // namespace corvash::ce
