// Per-variable terms of the residual functions, shared by the residual
// (Residual.cpp) and the merit gradient (Merit.cpp).
#pragma once

#include <cstdint>

// Signed component phi of code 0, 1, 2, 3, 5 or 7 for one variable, and for
// code 6 the length sqrt(a^2 + b^2) of its lower and upper parts. The sign is
// the one the merit gradient differentiates (for codes 1, 2 and 5 it is -f
// when both bounds are infinite and the negated form when only u is finite);
// the residual uses only abs(phi) and phi^2. NaN when any argument is NaN.
// Code 4 and codes outside 0..7 are not handled here.
double Residual_Phi(int code, double l, double u, double x, double f, double infinity,
                    double lambda);

// Lower and upper parts a and b of code 6 (NaN arguments not handled).
void Residual_BoundedParts(double l, double u, double x, double f, double infinity, double* a,
                           double* b);

// Raises the solver error of MCP_DMerit_Function for a code without a
// gradient: "Ulbrich not implemented yet." for 8, "merit function not
// differentiable." for every code but 1, 2, 5, 6 and 7.
void Residual_CheckGradientCode(int code);

// Reports a contract breach of this module as a solver error.
[[noreturn]] void Residual_Fault(int line, const char* operation, const char* message);

// Raises "vector shorter than the problem" when capacity < n.
void Residual_CheckCapacity(std::int32_t capacity, std::int32_t n, const char* operation);
