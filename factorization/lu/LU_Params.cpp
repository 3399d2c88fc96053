// Default parameters of the sparse LU engine, from named constants.
#include <cmath>

#include "factorization/lu/LU_Engine.hpp"

namespace {

constexpr std::int32_t kNoMessages = -1;
constexpr std::int32_t kSearchLimit = 5;
constexpr std::int32_t kKeepFactors = 1;
constexpr double kMultiplierLimit = 10.0;     // for the factorization and for updates
constexpr double kDropExponent = 0.9;         // drop_tolerance = eps^0.9
constexpr double kPivotExponent = 2.0 / 3.0;  // pivot tolerances = eps^(2/3)
constexpr double kSpaceFactor = 3.0;
constexpr double kDensity1 = 0.3;
constexpr double kDensity2 = 0.5;

}  // namespace

void LU_DefaultParams(LU_IntParams& ip, LU_RealParams& rp) {
  for (auto& x : ip.value) x = 0;
  for (auto& x : rp.value) x = 0.0;
  ip[LU_Int::message_unit] = kNoMessages;
  ip[LU_Int::search_limit] = kSearchLimit;
  ip[LU_Int::pivot_rule] = LU_RULE_PARTIAL;
  ip[LU_Int::keep_factors] = kKeepFactors;
  const double eps = std::pow(2.0, -52.0);
  rp[LU_Real::l_factor_limit] = kMultiplierLimit;
  rp[LU_Real::l_update_limit] = kMultiplierLimit;
  rp[LU_Real::drop_tolerance] = std::pow(eps, kDropExponent);
  rp[LU_Real::u_abs_tolerance] = std::pow(eps, kPivotExponent);
  rp[LU_Real::u_rel_tolerance] = std::pow(eps, kPivotExponent);
  rp[LU_Real::space_factor] = kSpaceFactor;
  rp[LU_Real::density_1] = kDensity1;
  rp[LU_Real::density_2] = kDensity2;
}
