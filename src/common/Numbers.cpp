#include "common/Numbers.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "common/Error.h"

namespace tidemill {

namespace {

bool IsSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Significant digits that the general route keeps; a longer number text goes that way, so
// that both routes always agree.
constexpr int kMaxSignificant = 40;

// The usual text, a plain decimal number such as "-12.5" or "1E-3", read by from_chars in
// place. False when the text needs the general route: a blank, a "D" exponent or an exponent
// letter from_chars left unread may continue the number; "inf", "nan" and out-of-range
// values read differently.
bool PlainNumber(std::string_view text, double& value) {
  const char* const end = text.data() + text.size();
  const char* from = text.data();
  if (from != end && *from == '+') ++from;  // from_chars takes no plus sign
  const bool negative = from != end && *from == '-' && from == text.data();
  const char* digits = negative ? from + 1 : from;
  if (digits == end || !(IsDigit(*digits) || *digits == '.')) return false;
  const auto endsNumber = [&](const char* stop) {
    return stop == end || !(IsSkipped(*stop) || *stop == 'e' || *stop == 'E' || *stop == 'd' || *stop == 'D');
  };

  // Most texts have at most 15 digits and no exponent: digits and 10^fraction are then exact
  // doubles, and their quotient is the correctly rounded value, as from_chars would give it.
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  uint64_t mantissa = 0;
  int count = 0;
  int fraction = -1;  // digits after the point, -1 before it
  const char* p = digits;
  for (; p != end; ++p) {
    const auto d = static_cast<unsigned>(*p - '0');
    if (d <= 9) {
      mantissa = mantissa * 10 + d;
      ++count;
      fraction += fraction >= 0;
    } else if (*p == '.' && fraction < 0) {
      fraction = 0;
    } else {
      break;
    }
  }
  if (count >= 1 && count <= 15 && endsNumber(p)) {
    value = static_cast<double>(mantissa) / kPowersOfTen[fraction > 0 ? fraction : 0];
    if (negative) value = -value;
    return true;
  }

  const auto [stop, ec] = std::from_chars(from, end, value);
  return ec == std::errc() && stop - from <= kMaxSignificant && endsNumber(stop);
}

}  // namespace

double LeadingNumber(std::string_view text) {
  double value;
  return PlainNumber(text, value) ? value : LeadingNumberGeneral(text);
}

double LeadingNumberGeneral(std::string_view text) {
  // Gather the accepted characters into a compact form that from_chars reads:
  // [-]digits[.digits][e[-]digits]. Values in files rarely need more than a few dozen
  // characters; longer digit runs keep their leading significant part and adjust the exponent.
  char buf[128];
  std::size_t n = 0;
  std::size_t i = 0;
  const std::size_t size = text.size();
  auto peek = [&]() -> int {
    while (i < size && IsSkipped(text[i])) ++i;
    return i < size ? static_cast<unsigned char>(text[i]) : -1;
  };

  bool negative = false;
  int c = peek();
  if (c == '+' || c == '-') {
    negative = (c == '-');
    ++i;
    c = peek();
  }
  if (negative) buf[n++] = '-';
  const std::size_t mantissaStart = n;
  long long exponentAdjust = 0;  // digits dropped before the point, or kept after it
  bool anyDigit = false;
  bool seenPoint = false;
  int significant = 0;
  for (;; ++i, c = peek()) {
    if (c >= 0 && IsDigit(static_cast<char>(c))) {
      anyDigit = true;
      if (significant == 0 && c == '0') {
        if (seenPoint) --exponentAdjust;  // leading zeros after the point scale down
        continue;
      }
      if (significant < kMaxSignificant) {
        buf[n++] = static_cast<char>(c);
        ++significant;
        if (seenPoint) --exponentAdjust;
      } else if (!seenPoint) {
        ++exponentAdjust;
      }
    } else if (c == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
  }
  if (!anyDigit) return 0.0;
  if (n == mantissaStart) return negative ? -0.0 : 0.0;

  long long exponent = 0;
  if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
    std::size_t save = i;
    ++i;
    int e = peek();
    bool expNegative = false;
    if (e == '+' || e == '-') {
      expNegative = (e == '-');
      ++i;
      e = peek();
    }
    if (e >= 0 && IsDigit(static_cast<char>(e))) {
      for (; e >= 0 && IsDigit(static_cast<char>(e)); ++i, e = peek()) {
        if (exponent < 100000) exponent = exponent * 10 + (e - '0');
      }
      if (expNegative) exponent = -exponent;
    } else {
      i = save;  // "1E" or "1E+" without digits: the number ends before the letter
    }
  }
  exponent += exponentAdjust;
  // Magnitude = 0.digits × 10^(exponent + significant); far outside double either way.
  const long long magnitude = exponent + significant;
  if (magnitude > 400) throw Error(kErrOverflow);
  if (magnitude < -400) return negative ? -0.0 : 0.0;
  buf[n++] = 'e';
  auto [end, ec] = std::to_chars(buf + n, buf + sizeof buf, exponent);
  (void)ec;
  double value = 0.0;
  auto result = std::from_chars(buf, end, value);
  if (result.ec == std::errc::result_out_of_range) {
    if (magnitude > 0) throw Error(kErrOverflow);
    return negative ? -0.0 : 0.0;
  }
  return value;
}

int32_t RoundHalfEven32(double value) {
  // nearbyint rounds half to even in the default rounding mode.
  const double r = std::nearbyint(value);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw Error(kErrOverflow);
  return static_cast<int32_t>(r);
}

float ToSingle(double value) {
  if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
    // Values that round down to the largest single still fit.
    const float f = static_cast<float>(value);
    if (std::isinf(f)) throw Error(kErrOverflow);
    return f;
  }
  return static_cast<float>(value);
}

char* AppendNumberText(float value, char* out) {
  if (std::isnan(value)) {
    std::memcpy(out, "nan", 3);
    return out + 3;
  }
  if (std::isinf(value)) {
    if (value < 0) *out++ = '-';
    std::memcpy(out, "inf", 3);
    return out + 3;
  }
  if (value == 0.0f) {
    *out = '0';
    return out + 1;
  }
  // Seven significant digits, correctly rounded: "d.dddddde+XX".
  char sci[32];
  auto res = std::to_chars(sci, sci + sizeof sci, static_cast<double>(value), std::chars_format::scientific, 6);
  const char* p = sci;
  if (*p == '-') {
    *out++ = '-';
    ++p;
  }
  char digits[7];
  digits[0] = p[0];
  std::memcpy(digits + 1, p + 2, 6);
  int ndigits = 7;
  while (ndigits > 1 && digits[ndigits - 1] == '0') --ndigits;
  const char* e = p + 8;  // at 'e'
  int exponent = 0;
  std::from_chars(e + 2, res.ptr, exponent);  // the sign is always written
  if (e[1] == '-') exponent = -exponent;

  if (exponent < -4 || exponent >= 7) {
    *out++ = digits[0];
    if (ndigits > 1) {
      *out++ = '.';
      std::memcpy(out, digits + 1, ndigits - 1);
      out += ndigits - 1;
    }
    *out++ = 'E';
    *out++ = exponent < 0 ? '-' : '+';
    const int a = exponent < 0 ? -exponent : exponent;
    *out++ = static_cast<char>('0' + a / 10);
    *out++ = static_cast<char>('0' + a % 10);
    return out;
  }
  if (exponent < 0) {
    *out++ = '.';
    for (int z = 0; z < -exponent - 1; ++z) *out++ = '0';
    std::memcpy(out, digits, ndigits);
    return out + ndigits;
  }
  const int before = exponent + 1;  // digits before the point
  for (int k = 0; k < before; ++k) *out++ = k < ndigits ? digits[k] : '0';
  if (ndigits > before) {
    *out++ = '.';
    std::memcpy(out, digits + before, ndigits - before);
    out += ndigits - before;
  }
  return out;
}

std::string NumberText(float value) {
  char buf[kMaxNumberText];
  return std::string(buf, AppendNumberText(value, buf));
}

std::string IntegerText(int64_t value) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

}  // namespace tidemill
