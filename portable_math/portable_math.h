// The elementary functions the model and its figures use, from one
// implementation compiled into every build: the desktop program's C library
// and the browser's differ in the last bit of sin, atan2 or pow for some
// arguments, and a run is compared between the two byte for byte.  The
// sources are the C library the browser edition is built with, taken from
// the installed Emscripten package at build time (CMakeLists.txt here).
// sqrt, fabs, floor and the like are exact everywhere and stay std::.
#pragma once

extern "C" {
double pmath_musl_sin(double);
double pmath_musl_cos(double);
double pmath_musl_tan(double);
double pmath_musl_asin(double);
double pmath_musl_acos(double);
double pmath_musl_atan(double);
double pmath_musl_atan2(double, double);
double pmath_musl_hypot(double, double);
double pmath_musl_exp(double);
double pmath_musl_log(double);
double pmath_musl_log10(double);
double pmath_musl_pow(double, double);
}

namespace pmath {

inline double sin(double x) { return pmath_musl_sin(x); }
inline double cos(double x) { return pmath_musl_cos(x); }
inline double tan(double x) { return pmath_musl_tan(x); }
inline double asin(double x) { return pmath_musl_asin(x); }
inline double acos(double x) { return pmath_musl_acos(x); }
inline double atan(double x) { return pmath_musl_atan(x); }
inline double atan2(double y, double x) { return pmath_musl_atan2(y, x); }
inline double hypot(double x, double y) { return pmath_musl_hypot(x, y); }
inline double exp(double x) { return pmath_musl_exp(x); }
inline double log(double x) { return pmath_musl_log(x); }
inline double log10(double x) { return pmath_musl_log10(x); }
inline double pow(double x, double y) { return pmath_musl_pow(x, y); }

}  // namespace pmath
