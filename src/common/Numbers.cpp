#include "common/Numbers.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "common/Error.h"
#include "common/Text.h"

namespace tidemill {

namespace {

bool IsSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The usual text, the whole of it "[-]digits[.digits]" with at most 15 digits: digits and
// 10^fraction are then exact doubles, and their quotient is the correctly rounded value, as
// from_chars would give it.
bool ShortDecimal(std::string_view text, double& value) {
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const char* p = text.data();
  const char* const end = p + text.size();
  const bool negative = p != end && *p == '-';
  p += negative ? 1 : 0;
  const char* const first = p;
  uint64_t mantissa = 0;
  // Digits beyond 19 may wrap the mantissa: such a text has more than 15 and is refused below.
  for (unsigned d; p != end && (d = static_cast<unsigned>(*p - '0')) <= 9; ++p) mantissa = mantissa * 10 + d;
  std::ptrdiff_t fraction = 0;
  const std::ptrdiff_t whole = p - first;
  if (p != end && *p == '.') {
    const char* const point = ++p;
    for (unsigned d; p != end && (d = static_cast<unsigned>(*p - '0')) <= 9; ++p) mantissa = mantissa * 10 + d;
    fraction = p - point;
  }
  if (p != end || whole + fraction < 1 || whole + fraction > 15) return false;
  value = static_cast<double>(mantissa) / kPowersOfTen[fraction];
  if (negative) value = -value;
  return true;
}

// A plain decimal number at the start of the text, such as "+12.5" or "1E-3", read by
// from_chars in place. False when the text needs the general route: a blank, a "D" exponent or
// an exponent letter from_chars left unread may continue the number; "inf", "nan" and
// out-of-range values read differently.
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
  const auto [stop, ec] = std::from_chars(from, end, value);
  return ec == std::errc() && endsNumber(stop);
}

}  // namespace

double LeadingNumber(std::string_view text) {
  double value;
  if (ShortDecimal(text, value)) return value;
  return PlainNumber(text, value) ? value : LeadingNumberGeneral(text);
}

double LeadingNumberGeneral(std::string_view text) {
  // Gather the accepted characters into a compact form that from_chars reads:
  // [-]digits[e[-]digits]. Every significant digit is kept, since a digit far down can still
  // decide the rounding. The form is never longer than the text and an exponent, so a text of
  // the usual length needs no memory of its own.
  char small[128];
  std::string large;
  char* buf = small;
  if (text.size() + 24 > sizeof small) {
    large.resize(text.size() + 24);
    buf = large.data();
  }
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
  long long exponentAdjust = 0;  // digits kept after the point
  bool anyDigit = false;
  bool seenPoint = false;
  long long significant = 0;
  for (;; ++i, c = peek()) {
    if (c >= 0 && IsDigit(static_cast<char>(c))) {
      anyDigit = true;
      if (significant == 0 && c == '0') {
        if (seenPoint) --exponentAdjust;  // leading zeros after the point scale down
        continue;
      }
      buf[n++] = static_cast<char>(c);
      ++significant;
      if (seenPoint) --exponentAdjust;
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
  auto [end, ec] = std::to_chars(buf + n, buf + n + 22, exponent);
  (void)ec;
  double value = 0.0;
  auto result = std::from_chars(buf, end, value);
  if (result.ec == std::errc::result_out_of_range) {
    if (magnitude > 0) throw Error(kErrOverflow);
    return negative ? -0.0 : 0.0;
  }
  return value;
}

std::optional<float> InfinityOf(std::string_view text) {
  while (!text.empty() && (IsSkipped(text.front()) || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (IsSkipped(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  if (!EqualsNoCase(text, "inf") && !EqualsNoCase(text, "infinity")) return std::nullopt;
  return negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
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

namespace {

// Powers of ten up to 1E+18, each exact as a double.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                   1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

// "00" to "99".
constexpr char kTwoDigits[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
    "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";

// The first seven significant decimal digits of a positive finite single, correctly rounded
// (half to even), and the decimal exponent of the first digit.
void SevenDigits(float magnitude, char digits[7], int& exponent) {
  // Fast path, exact arithmetic only: a single has 24 significant bits and 10^k = 2^k 5^k with
  // 5^k below 2^29 for k <= 12, so a * 10^k is exact in a double's 53 bits. That covers
  // 1E-06 <= a < 1E+07, where nearly every value the system writes lies.
  const double a = magnitude;
  const double s = a * 1e11;  // exact (5^11 < 2^26)
  if (s >= 1e5 && s < 1e18) {
    // floor(log10(s)) from the binary exponent (1233 / 4096 just below log10(2)), then one
    // comparison to correct it.
    const int e2 = static_cast<int>((std::bit_cast<uint64_t>(s) >> 52) & 0x7FF) - 1023;
    int n = (e2 * 1233) >> 12;
    if (s >= kPowersOfTen[n + 1]) ++n;
    const int k = 17 - n;  // scales a to seven digits before the point
    // Adding and taking away 2^52 rounds to a whole number, half to even, without a call.
    constexpr double kRound = 4503599627370496.0;
    auto m = static_cast<uint32_t>((a * kPowersOfTen[k] + kRound) - kRound);
    exponent = n - 11;
    if (m >= 10000000) {  // rounded up into the next decade
      m /= 10;
      ++exponent;
    }
    const uint32_t high = m / 10000;  // 0..999
    const uint32_t low = m % 10000;
    digits[0] = static_cast<char>('0' + high / 100);
    std::memcpy(digits + 1, kTwoDigits + 2 * (high % 100), 2);
    std::memcpy(digits + 3, kTwoDigits + 2 * (low / 100), 2);
    std::memcpy(digits + 5, kTwoDigits + 2 * (low % 100), 2);
    return;
  }
  // Elsewhere to_chars rounds exactly: "d.dddddde+XX".
  char sci[32];
  const auto res = std::to_chars(sci, sci + sizeof sci, a, std::chars_format::scientific, 6);
  digits[0] = sci[0];
  std::memcpy(digits + 1, sci + 2, 6);
  std::from_chars(sci + 10, res.ptr, exponent);  // the digits after the exponent's sign
  if (sci[9] == '-') exponent = -exponent;
}

}  // namespace

// Copies are of fixed sizes (cheaper than exact ones), so bytes past the returned end, within
// kMaxNumberText of out, may be overwritten.
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
  if (value < 0) *out++ = '-';
  char digits[16];  // seven digits, then zeros
  std::memset(digits + 7, '0', 9);
  int exponent = 0;
  SevenDigits(std::fabs(value), digits, exponent);
  int ndigits = 7;
  while (ndigits > 1 && digits[ndigits - 1] == '0') --ndigits;

  if (exponent < -4 || exponent >= 7) {
    // d.ddddddE+XX: at most 1 + 1 + 6 + 4 characters after the sign.
    out[0] = digits[0];
    out[1] = '.';
    std::memcpy(out + 2, digits + 1, 6);
    out += ndigits > 1 ? ndigits + 1 : 1;
    *out++ = 'E';
    *out++ = exponent < 0 ? '-' : '+';
    const int a = exponent < 0 ? -exponent : exponent;
    *out++ = static_cast<char>('0' + a / 10);
    *out++ = static_cast<char>('0' + a % 10);
    return out;
  }
  if (exponent < 0) {
    // .000ddddddd: the point, -exponent - 1 zeros (at most 3), the digits.
    *out++ = '.';
    std::memcpy(out, "000", 3);
    out += -exponent - 1;
    std::memcpy(out, digits, 8);
    return out + ndigits;
  }
  const int before = exponent + 1;  // digits before the point, trailing zeros included
  std::memcpy(out, digits, 8);
  out += before;
  if (ndigits > before) {
    // At most 6 digits before the point here, so the copy stays within 16 characters.
    *out++ = '.';
    std::memcpy(out, digits + before, 8);
    out += ndigits - before;
  }
  return out;
}

std::string NumberText(float value) {
  char buf[kMaxNumberText];
  return std::string(buf, AppendNumberText(value, buf));
}

float RoundToThousandths(float value) {
  // A single times 1000 is exact in a double, so only the rounding rounds (rint: half to even
  // in the default rounding mode).
  return static_cast<float>(std::rint(static_cast<double>(value) * 1000.0) / 1000.0);
}

namespace {

// The texts of the numbers 0 to 999 as whole parts ("7", "42", "999") and as thousandths
// (".007", ".42", ".999", 0 none), at most four characters each, made when compiling.
struct DigitGroups {
  char text[1000][4] = {};
  uint8_t length[1000] = {};
};

constexpr DigitGroups MakeWholes() {
  DigitGroups groups;
  for (int n = 1; n < 1000; ++n) {
    const int digits = n >= 100 ? 3 : n >= 10 ? 2 : 1;
    for (int i = digits - 1, rest = n; i >= 0; --i, rest /= 10) groups.text[n][i] = static_cast<char>('0' + rest % 10);
    groups.length[n] = static_cast<uint8_t>(digits);
  }
  return groups;
}

constexpr DigitGroups MakeFractions() {
  DigitGroups groups;
  for (int n = 1; n < 1000; ++n) {
    const char digits[3] = {static_cast<char>('0' + n / 100), static_cast<char>('0' + n / 10 % 10),
                            static_cast<char>('0' + n % 10)};
    int length = 3;
    while (digits[length - 1] == '0') --length;
    groups.text[n][0] = '.';
    for (int i = 0; i < length; ++i) groups.text[n][i + 1] = digits[i];
    groups.length[n] = static_cast<uint8_t>(length + 1);
  }
  return groups;
}

constexpr DigitGroups kWholes = MakeWholes();
constexpr DigitGroups kFractions = MakeFractions();

}  // namespace

char* AppendThousandthsText(float value, char* out) {
  const double thousandths = std::rint(static_cast<double>(value) * 1000.0);
  if (!(std::fabs(thousandths) < 1e6)) return AppendNumberText(RoundToThousandths(value), out);
  auto k = static_cast<int32_t>(thousandths);
  if (k == 0) {
    *out = '0';
    return out + 1;
  }
  if (k < 0) {
    *out++ = '-';
    k = -k;
  }
  const int32_t whole = k / 1000;
  const int32_t fraction = k % 1000;
  if (whole > 0) {
    std::memcpy(out, kWholes.text[whole], 4);
    out += kWholes.length[whole];
  }
  std::memcpy(out, kFractions.text[fraction], 4);
  return out + kFractions.length[fraction];
}

std::string IntegerText(int64_t value) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

}  // namespace tidemill
