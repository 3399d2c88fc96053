// Ordered sum of three doubles: terms of opposite sign cancel first, so the
// rounding of the result stays small.
#pragma once

// a + b + c, added in an order chosen by the signs and sizes of the terms.
// No side effects.
double Sum3(double a, double b, double c);
