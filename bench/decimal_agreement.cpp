// Checks DecimalToDouble against the C library's strtod and the C++ library's
// from_chars on many random numbers (the unit test checks a smaller sample on every
// run). Usage: decimal_agreement [count [seed]]. Prints the count and exits with 1 at
// the first disagreement.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/decimal_samples.h"
#include "base/decimal_to_double.h"

namespace {

uint64_t Bits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

int main(int argc, char** argv) {
  const long long count = argc > 1 ? std::atoll(argv[1]) : 2000000;
  const uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  DecimalSamples samples(seed);
  long long outOfRange = 0;
  for (long long i = 0; i < count; ++i) {
    const std::string text = samples.Next();
    const double value = DecimalToDouble(text);
    const double byStrtod = std::strtod(text.c_str(), nullptr);
    double byFromChars = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), byFromChars);
    bool agree = Bits(value) == Bits(byStrtod) && end == text.data() + text.size();
    if (error == std::errc::result_out_of_range) {
      ++outOfRange;
      agree = agree && (value == 0.0 || std::isinf(value));
    } else {
      agree = agree && error == std::errc() && Bits(value) == Bits(byFromChars);
    }
    if (!agree) {
      std::printf("disagreement on %s: %a, strtod %a, from_chars %a\n", text.c_str(), value,
                  byStrtod, byFromChars);
      return 1;
    }
  }
  std::printf("decimal_agreement: %lld random numbers (seed %llu), %lld out of range: all "
              "agree with strtod and from_chars\n",
              count, static_cast<unsigned long long>(seed), outOfRange);
  return 0;
}
