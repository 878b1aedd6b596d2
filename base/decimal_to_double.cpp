#include "base/decimal_to_double.h"

#include <cstdint>
#include <cstring>

// Three ways to the result, each taken only when it is sure to be right:
//  - Most numbers in practice ("3.5", "12") have at most 15 significant digits and a
//    small exponent. Their digits and the power of ten are both exact doubles, so one
//    multiplication or division, rounded once by the hardware, is the correctly rounded
//    result.
//  - Nearly all others are computed in 64-bit fixed point from their first 19 digits and
//    a table of powers of ten, keeping a bound on the error; the result is taken unless
//    the number lies too close to the halfway point between two doubles to tell.
//  - The rest are converted exactly: the digits are kept as a decimal string of up to
//    800 digits and halved or doubled (up to 60 bits at a time) until it lies in
//    [0.5, 1), which gives the binary exponent; then it is doubled 53 times and rounded
//    to an integer, the significand. Halfway points between doubles have at most 767
//    significant digits, so 800 digits, with a note of whether any non-zero digit was
//    dropped beyond them, always decide the rounding correctly.

namespace {

constexpr int kMaxDigits = 800;
constexpr unsigned kMaxShift = 60;      // 9 << 60 still fits in 64 bits
constexpr int kSignificandBits = 52;    // stored bits of a double's significand
constexpr int kExponentBias = -1023;
constexpr int kExponentBits = 11;

// A non-negative decimal number 0.d[0]d[1]...d[nd-1] * 10^dp. The digits (values 0 to
// 9) have no leading zero, and no trailing zero after trimming; nd == 0 is zero.
struct Decimal {
  uint8_t d[kMaxDigits];
  int nd = 0;
  int dp = 0;
  bool truncated = false;  // non-zero digits were dropped after d[nd - 1]
};

void Trim(Decimal& a) {
  while (a.nd > 0 && a.d[a.nd - 1] == 0) --a.nd;
  if (a.nd == 0) a.dp = 0;
}

// a /= 2^k, for 0 < k <= kMaxShift.
void RightShift(Decimal& a, unsigned k) {
  int r = 0;  // read index
  int w = 0;  // write index
  uint64_t n = 0;
  // Take enough leading digits for the first output digit.
  for (; (n >> k) == 0; ++r) {
    if (r >= a.nd) {
      if (n == 0) {
        a.nd = 0;
        a.dp = 0;
        return;
      }
      while ((n >> k) == 0) {
        n *= 10;
        ++r;
      }
      break;
    }
    n = n * 10 + a.d[r];
  }
  a.dp -= r - 1;

  const uint64_t mask = (uint64_t{1} << k) - 1;
  for (; r < a.nd; ++r) {
    a.d[w++] = static_cast<uint8_t>(n >> k);
    n = (n & mask) * 10 + a.d[r];
  }
  while (n > 0) {
    const uint64_t digit = n >> k;
    if (w < kMaxDigits) {
      a.d[w++] = static_cast<uint8_t>(digit);
    } else if (digit > 0) {
      a.truncated = true;
    }
    n = (n & mask) * 10;
  }
  a.nd = w;
  Trim(a);
}

// a *= 2^k, for 0 < k <= kMaxShift.
void LeftShift(Decimal& a, unsigned k) {
  // The product has at most 19 more digits than a (2^60 < 10^19); it is written from
  // its last digit backwards into a scratch buffer, then moved into place.
  constexpr int kRoom = 20;
  uint8_t product[kMaxDigits + kRoom];
  int w = a.nd + kRoom;
  uint64_t n = 0;
  for (int r = a.nd - 1; r >= 0; --r) {
    n += uint64_t{a.d[r]} << k;
    const uint64_t quotient = n / 10;
    product[--w] = static_cast<uint8_t>(n - 10 * quotient);
    n = quotient;
  }
  while (n > 0) {
    const uint64_t quotient = n / 10;
    product[--w] = static_cast<uint8_t>(n - 10 * quotient);
    n = quotient;
  }
  const int count = a.nd + kRoom - w;
  const int kept = count < kMaxDigits ? count : kMaxDigits;
  for (int i = kept; i < count; ++i) {
    if (product[w + i] != 0) a.truncated = true;
  }
  std::memcpy(a.d, product + w, static_cast<size_t>(kept));
  a.dp += count - a.nd;
  a.nd = kept;
  Trim(a);
}

// a *= 2^k (k > 0) or a /= 2^-k (k < 0).
void Shift(Decimal& a, int k) {
  constexpr int kMax = static_cast<int>(kMaxShift);
  if (a.nd == 0) return;
  for (; k > kMax; k -= kMax) LeftShift(a, kMaxShift);
  for (; k < -kMax; k += kMax) RightShift(a, kMaxShift);
  if (k > 0) LeftShift(a, static_cast<unsigned>(k));
  if (k < 0) RightShift(a, static_cast<unsigned>(-k));
}

// Whether cutting a after `digits` digits must round up: more than half, or exactly
// half with an odd last kept digit (ties to even). A dropped non-zero digit makes an
// apparent half more than half.
bool ShouldRoundUp(const Decimal& a, int digits) {
  if (digits < 0 || digits >= a.nd) return false;
  if (a.d[digits] == 5 && digits + 1 == a.nd) {
    if (a.truncated) return true;
    return digits > 0 && a.d[digits - 1] % 2 == 1;
  }
  return a.d[digits] >= 5;
}

// The integer part of a, rounded to nearest; a < 2^54 here.
uint64_t RoundedInteger(const Decimal& a) {
  uint64_t n = 0;
  int i = 0;
  for (; i < a.dp && i < a.nd; ++i) n = n * 10 + a.d[i];
  for (; i < a.dp; ++i) n *= 10;
  if (ShouldRoundUp(a, a.dp)) ++n;
  return n;
}


// 10^k for k = -348, -340, ..., 340, each as a 64-bit significand with its top bit set,
// rounded to nearest, and a binary exponent: 10^k ~ significand * 2^exponent.
constexpr int kFirstPower = -348;
constexpr int kPowerStep = 8;
constexpr int kPowerCount = 87;
constexpr uint64_t kPowerSignificands[kPowerCount] = {
    0xFA8FD5A0081C0288ULL, 0xBAAEE17FA23EBF76ULL, 0x8B16FB203055AC76ULL,
    0xCF42894A5DCE35EAULL, 0x9A6BB0AA55653B2DULL, 0xE61ACF033D1A45DFULL,
    0xAB70FE17C79AC6CAULL, 0xFF77B1FCBEBCDC4FULL, 0xBE5691EF416BD60CULL,
    0x8DD01FAD907FFC3CULL, 0xD3515C2831559A83ULL, 0x9D71AC8FADA6C9B5ULL,
    0xEA9C227723EE8BCBULL, 0xAECC49914078536DULL, 0x823C12795DB6CE57ULL,
    0xC21094364DFB5637ULL, 0x9096EA6F3848984FULL, 0xD77485CB25823AC7ULL,
    0xA086CFCD97BF97F4ULL, 0xEF340A98172AACE5ULL, 0xB23867FB2A35B28EULL,
    0x84C8D4DFD2C63F3BULL, 0xC5DD44271AD3CDBAULL, 0x936B9FCEBB25C996ULL,
    0xDBAC6C247D62A584ULL, 0xA3AB66580D5FDAF6ULL, 0xF3E2F893DEC3F126ULL,
    0xB5B5ADA8AAFF80B8ULL, 0x87625F056C7C4A8BULL, 0xC9BCFF6034C13053ULL,
    0x964E858C91BA2655ULL, 0xDFF9772470297EBDULL, 0xA6DFBD9FB8E5B88FULL,
    0xF8A95FCF88747D94ULL, 0xB94470938FA89BCFULL, 0x8A08F0F8BF0F156BULL,
    0xCDB02555653131B6ULL, 0x993FE2C6D07B7FACULL, 0xE45C10C42A2B3B06ULL,
    0xAA242499697392D3ULL, 0xFD87B5F28300CA0EULL, 0xBCE5086492111AEBULL,
    0x8CBCCC096F5088CCULL, 0xD1B71758E219652CULL, 0x9C40000000000000ULL,
    0xE8D4A51000000000ULL, 0xAD78EBC5AC620000ULL, 0x813F3978F8940984ULL,
    0xC097CE7BC90715B3ULL, 0x8F7E32CE7BEA5C70ULL, 0xD5D238A4ABE98068ULL,
    0x9F4F2726179A2245ULL, 0xED63A231D4C4FB27ULL, 0xB0DE65388CC8ADA8ULL,
    0x83C7088E1AAB65DBULL, 0xC45D1DF942711D9AULL, 0x924D692CA61BE758ULL,
    0xDA01EE641A708DEAULL, 0xA26DA3999AEF774AULL, 0xF209787BB47D6B85ULL,
    0xB454E4A179DD1877ULL, 0x865B86925B9BC5C2ULL, 0xC83553C5C8965D3DULL,
    0x952AB45CFA97A0B3ULL, 0xDE469FBD99A05FE3ULL, 0xA59BC234DB398C25ULL,
    0xF6C69A72A3989F5CULL, 0xB7DCBF5354E9BECEULL, 0x88FCF317F22241E2ULL,
    0xCC20CE9BD35C78A5ULL, 0x98165AF37B2153DFULL, 0xE2A0B5DC971F303AULL,
    0xA8D9D1535CE3B396ULL, 0xFB9B7CD9A4A7443CULL, 0xBB764C4CA7A44410ULL,
    0x8BAB8EEFB6409C1AULL, 0xD01FEF10A657842CULL, 0x9B10A4E5E9913129ULL,
    0xE7109BFBA19C0C9DULL, 0xAC2820D9623BF429ULL, 0x80444B5E7AA7CF85ULL,
    0xBF21E44003ACDD2DULL, 0x8E679C2F5E44FF8FULL, 0xD433179D9C8CB841ULL,
    0x9E19DB92B4E31BA9ULL, 0xEB96BF6EBADF77D9ULL, 0xAF87023B9BF0EE6BULL,
};
constexpr int16_t kPowerExponents[kPowerCount] = {
    -1220, -1193, -1166, -1140, -1113, -1087, -1060, -1034, -1007, -980, -954, -927,
    -901, -874, -847, -821, -794, -768, -741, -715, -688, -661, -635, -608,
    -582, -555, -529, -502, -475, -449, -422, -396, -369, -343, -316, -289,
    -263, -236, -210, -183, -157, -130, -103, -77, -50, -24, 3, 30,
    56, 83, 109, 136, 162, 189, 216, 242, 269, 295, 322, 348,
    375, 402, 428, 455, 481, 508, 534, 561, 588, 614, 641, 667,
    694, 720, 747, 774, 800, 827, 853, 880, 907, 933, 960, 986,
    1013, 1039, 1066,
};

// A number f * 2^e.
struct Fp {
  uint64_t f;
  int e;
};

int Normalize(Fp& x) {  // shifts f left until its top bit is set; returns the shift
  const int shift = __builtin_clzll(x.f);
  x.f <<= shift;
  x.e -= shift;
  return shift;
}

// The product's top 64 bits, rounded: at most half a unit of its last place off.
Fp Multiply(const Fp& a, const Fp& b) {
  __extension__ using Uint128 = unsigned __int128;
  const Uint128 product = static_cast<Uint128>(a.f) * b.f;
  const uint64_t high = static_cast<uint64_t>(product >> 64);
  const uint64_t low = static_cast<uint64_t>(product);
  return {high + (low >> 63), a.e + b.e + 64};
}

double FromBits(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// significand * 2^exponent (significand at most 2^53) as a double: infinity above the
// range, subnormal or zero below it.
double Assemble(uint64_t significand, int exponent) {
  constexpr uint64_t kHidden = uint64_t{1} << kSignificandBits;
  constexpr int kDenormalExponent = -1074;  // the exponent of the smallest subnormal
  constexpr int kMaxExponent = 0x7FF - 1075;
  while (significand >= 2 * kHidden) {
    significand >>= 1;
    ++exponent;
  }
  if (exponent >= kMaxExponent) return FromBits(uint64_t{0x7FF} << kSignificandBits);
  if (exponent < kDenormalExponent || significand == 0) return 0.0;
  while (exponent > kDenormalExponent && (significand & kHidden) == 0) {
    significand <<= 1;
    --exponent;
  }
  const uint64_t biased = exponent == kDenormalExponent && (significand & kHidden) == 0
                              ? 0
                              : static_cast<uint64_t>(exponent + 1075);
  return FromBits((significand & (kHidden - 1)) | (biased << kSignificandBits));
}

// The quick way for all other numbers: the first 19 digits times a power of ten from the
// table, in 64-bit fixed point, with a bound on the error of each step (in eighths of a
// unit in the last place). When the bits past the double's precision are further from
// the halfway point than that bound, rounding them gives the correct result; otherwise
// the number is too close to call and false is returned.
bool ConvertApproximately(const Decimal& a, double& result) {
  constexpr int kMaxWholeDigits = 19;  // 10^19 < 2^64
  const int used = a.nd < kMaxWholeDigits ? a.nd : kMaxWholeDigits;
  uint64_t digits = 0;
  for (int i = 0; i < used; ++i) digits = digits * 10 + a.d[i];
  uint64_t error = 0;  // in eighths of a unit in the last place of x below
  if (a.nd > used || a.truncated) {
    if (a.nd > used && a.d[used] >= 5) ++digits;  // to nearest: half a unit off at most
    error = 4;
  }
  const int power = a.dp - used;  // the number is about digits * 10^power
  if (power < kFirstPower || power >= kFirstPower + kPowerStep * kPowerCount) return false;
  const int index = (power - kFirstPower) / kPowerStep;
  const int rest = power - (kFirstPower + kPowerStep * index);

  Fp x{digits, 0};
  error <<= Normalize(x);
  if (rest > 0) {  // times 10^rest, exactly representable: only the rounding adds error
    static constexpr uint64_t kSmallPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000,
                                                10000000};
    Fp scale{kSmallPowers[rest], 0};
    Normalize(scale);
    x = Multiply(x, scale);
    error += (error != 0 ? 1 : 0) + 4;
    error <<= Normalize(x);
  }
  // Half a unit from the table, half from the rounding, and the product of the errors.
  x = Multiply(x, Fp{kPowerSignificands[index], kPowerExponents[index]});
  error += 4 + 4 + (error != 0 ? 1 : 0);
  error <<= Normalize(x);

  // The double's precision at this magnitude (fewer bits for subnormals).
  const int magnitude = 64 + x.e;  // the number is below 2^magnitude
  const int precision = magnitude >= -1021 ? 53 : magnitude <= -1074 ? 0 : magnitude + 1074;
  int dropped = 64 - precision;
  if (dropped + 3 >= 64) {  // room for the eighths in the comparison below
    const int shift = dropped + 3 - 64 + 1;
    x.f >>= shift;
    x.e += shift;
    error = (error >> shift) + 1 + 8;
    dropped -= shift;
  }
  const uint64_t rest8 = (x.f & ((uint64_t{1} << dropped) - 1)) * 8;
  const uint64_t half8 = (uint64_t{1} << (dropped - 1)) * 8;
  // A bound of half a unit or more decides nothing, and half8 - error would wrap around
  // (a number cut after 800 digits, few of them non-zero, has such a bound).
  if (error >= half8 || (half8 - error < rest8 && rest8 < half8 + error)) return false;
  uint64_t significand = x.f >> dropped;
  if (rest8 >= half8 + error) ++significand;
  result = Assemble(significand, x.e + dropped);
  return true;
}

double ConvertExactly(Decimal& a) {
  constexpr uint64_t kInfinityBits = uint64_t{0x7FF} << kSignificandBits;
  if (a.nd == 0 || a.dp < -330) return 0.0;  // below half the smallest subnormal
  if (a.dp > 310) return FromBits(kInfinityBits);

  // Bring a into [0.5, 1), counting the binary exponent. Each step shifts by about as
  // many bits as the decimal point is away, but never so many that a number below
  // 10^-m would pass 1 (2^Step(m) <= 10^m), so the doubling never overshoots.
  const auto step = [](int m) {
    static constexpr int kStep[] = {1, 3, 6, 9, 13, 16, 19, 23, 26};
    return m < 9 ? kStep[m] : m < 18 ? 27 : 59;
  };
  int exponent = 0;
  while (a.dp > 0) {
    const int n = step(a.dp);
    Shift(a, -n);
    exponent += n;
  }
  while (a.dp < 0 || (a.dp == 0 && a.d[0] < 5)) {
    const int n = step(-a.dp);
    Shift(a, n);
    exponent -= n;
  }
  --exponent;  // now a = m * 2^exponent with m in [1, 2)

  // Below the smallest normal exponent the significand loses bits (a subnormal).
  if (exponent < kExponentBias + 1) {
    const int n = kExponentBias + 1 - exponent;
    Shift(a, -n);
    exponent += n;
  }
  constexpr int kMaxBiased = (1 << kExponentBits) - 1;
  if (exponent - kExponentBias >= kMaxBiased) return FromBits(kInfinityBits);

  Shift(a, 1 + kSignificandBits);
  uint64_t significand = RoundedInteger(a);
  if (significand == uint64_t{2} << kSignificandBits) {  // rounding carried into a new bit
    significand >>= 1;
    ++exponent;
    if (exponent - kExponentBias >= kMaxBiased) return FromBits(kInfinityBits);
  }
  if ((significand & (uint64_t{1} << kSignificandBits)) == 0) exponent = kExponentBias;

  const uint64_t biased = static_cast<uint64_t>(exponent - kExponentBias);
  const uint64_t fraction = significand & ((uint64_t{1} << kSignificandBits) - 1);
  const uint64_t bits = fraction | (biased << kSignificandBits);
  return FromBits(bits);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

double DecimalToDouble(std::string_view number) {
  Decimal a;
  // dp is kept as a 64-bit count while reading: exponents may have any number of digits.
  int64_t significant = 0;  // significant digits read, dropped ones included
  int64_t pointAt = -1;     // significant digits before the point, once it is seen
  int64_t leadingFractionZeros = 0;
  size_t i = 0;
  for (; i < number.size(); ++i) {
    const char c = number[i];
    if (c == '.') {
      pointAt = significant;
      continue;
    }
    if (!IsDigit(c)) break;
    if (significant == 0 && c == '0') {
      if (pointAt >= 0) ++leadingFractionZeros;  // 0.00x: the value shrinks
      continue;
    }
    if (a.nd < kMaxDigits) {
      a.d[a.nd++] = static_cast<uint8_t>(c - '0');
    } else if (c != '0') {
      a.truncated = true;
    }
    ++significant;
  }
  int64_t dp = (pointAt >= 0 ? pointAt : significant) - leadingFractionZeros;

  if (i < number.size()) {  // the exponent
    ++i;
    const bool negative = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) ++i;
    int64_t exponent = 0;
    for (; i < number.size() && IsDigit(number[i]); ++i) {
      if (exponent < 1000000000) exponent = exponent * 10 + (number[i] - '0');
    }
    dp += negative ? -exponent : exponent;
  }
  Trim(a);
  if (a.nd == 0) return 0.0;
  if (dp > 100000) dp = 100000;  // far beyond both ends of the double range
  if (dp < -100000) dp = -100000;
  a.dp = static_cast<int>(dp);

  // The fast path: at most 15 digits and a power of ten up to 1e22, both exact.
  const int powerOfTen = a.dp - a.nd;
  if (a.nd <= 15 && !a.truncated && powerOfTen >= -22 && powerOfTen <= 22) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    uint64_t digits = 0;
    for (int k = 0; k < a.nd; ++k) digits = digits * 10 + a.d[k];
    const double value = static_cast<double>(digits);
    return powerOfTen >= 0 ? value * kPowers[powerOfTen] : value / kPowers[-powerOfTen];
  }
  double value = 0.0;
  if (a.dp >= -330 && a.dp <= 310 && ConvertApproximately(a, value)) return value;
  return ConvertExactly(a);
}
