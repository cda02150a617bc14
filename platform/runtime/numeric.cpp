#include "platform/runtime/numeric.hpp"

#include <limits>
#include <string>

#include "platform/runtime/error.hpp"

namespace plat {

double RoundHalfEven(double v) { return std::nearbyint(v); }  // default mode is to-nearest-even

namespace {
template <typename T>
T Convert(double v, const char* type) {
  if (std::isnan(v)) throw RuntimeError(ErrorCode::Overflow, std::string("Overflow converting NaN to ") + type);
  const double r = RoundHalfEven(v);
  if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
      r > static_cast<double>(std::numeric_limits<T>::max()))
    throw RuntimeError(ErrorCode::Overflow, std::string("Overflow converting to ") + type);
  return static_cast<T>(r);
}
}  // namespace

int32_t CLng(double v) { return Convert<int32_t>(v, "Long"); }
int16_t CInt(double v) { return Convert<int16_t>(v, "Integer"); }
uint8_t CByte(double v) { return Convert<uint8_t>(v, "Byte"); }

}  // namespace plat
