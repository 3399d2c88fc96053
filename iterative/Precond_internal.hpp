// Process-wide settings shared by the files of the Precond module.
#pragma once

#include <cstdint>

namespace precond_internal {

// Band width (and chunk length) of the band kinds, 1..10.
extern std::int32_t band_width;
// 1 once an incomplete LU setup has produced a usable factorization.
extern int ilu_factor_ready;
// The incomplete LU factors 2^ilu_exponent times the matrix (see its setup).
extern int ilu_exponent;

}  // namespace precond_internal
