// Elementary functions correctly rounded for every double argument: the exact
// value rounded to the nearest double, ties to even, so the same bits on every
// platform and compiler. Written from the mathematics; nothing comes from the
// platform's math library. NaN arguments come back as NaN with their payload.
#pragma once

namespace CorvaneModelBuilder::crmath {

double Tanh(double x);  // ±0 keep their sign, ±inf give ±1
double Exp(double x);   // +inf for x > 709.78, +0 for x < -745.14
double Acos(double x);  // NaN outside [-1, 1], +0 at 1, pi rounded at -1

}  // namespace CorvaneModelBuilder::crmath
