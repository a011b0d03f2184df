// Numbers read from and written as text, independent of the C locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tidemill {

// The leading-number rule: blanks, tabs and line feeds anywhere are skipped, then a sign,
// digits with at most one "." and an exponent ("E" or "D") are read up to the first character
// that does not fit. No leading number gives 0. A magnitude beyond double raises error 6.
double LeadingNumber(std::string_view text);
// The same rule without LeadingNumber's shortcut for plain decimal texts: the same result for
// every text (tests hold the two to that).
double LeadingNumberGeneral(std::string_view text);

// The infinity that a text names, as the number text writes it and other writers spell it:
// "inf" or "infinity" in any case, with an optional sign, blanks around it allowed. Nothing for
// any other text.
std::optional<float> InfinityOf(std::string_view text);

// Rounds half to even to a 32-bit signed integer; error 6 when it does not fit (or NaN).
int32_t RoundHalfEven32(double value);

// Rounds to single precision; error 6 when a finite value is beyond the single range.
float ToSingle(double value);

// Longest number text that AppendNumberText writes.
inline constexpr std::size_t kMaxNumberText = 16;

// The number text of a single: general form with at most 7 significant digits, "." as the
// decimal point, no leading zero below 1 (.25), no point for whole numbers, exponent form
// (1E+20, 1.5E-07) outside 1E-04 <= |x| < 1E+07. NaN is "nan", infinities "inf" and "-inf".
// Writes at most kMaxNumberText characters at out (bytes past the returned end may change too)
// and returns the end.
char* AppendNumberText(float value, char* out);
std::string NumberText(float value);

// A value rounded to 3 decimals, halves to even, kept in single precision.
float RoundToThousandths(float value);
// The number text of RoundToThousandths(value). Below 1000 in magnitude the thousandths have at
// most six significant digits, which a single keeps exactly, so their text is written straight
// from them; the same text as AppendNumberText gives, at a fraction of its cost. Writes as
// AppendNumberText does.
char* AppendThousandthsText(float value, char* out);

// Plain decimal digits, "-" when negative.
std::string IntegerText(int64_t value);

}  // namespace tidemill
