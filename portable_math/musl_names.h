/* Forced into every C source of the maths library compiled here: the
   functions get names of their own, so that they stand beside the C
   library's (std::sin elsewhere in the program is still the system's),
   and the one attribute the sources take from the C library's private
   headers. */
#ifndef PORTABLE_MATH_MUSL_NAMES_H
#define PORTABLE_MATH_MUSL_NAMES_H

/* the C library's declarations first, under their own names */
#include <math.h>

#define hidden __attribute__((__visibility__("hidden")))

/* the functions offered (portable_math.h) */
#define sin pmath_musl_sin
#define cos pmath_musl_cos
#define tan pmath_musl_tan
#define asin pmath_musl_asin
#define acos pmath_musl_acos
#define atan pmath_musl_atan
#define atan2 pmath_musl_atan2
#define hypot pmath_musl_hypot
#define exp pmath_musl_exp
#define log pmath_musl_log
#define log10 pmath_musl_log10
#define pow pmath_musl_pow

/* declared again under the new names: the sources call one another */
double sin(double);
double cos(double);
double tan(double);
double asin(double);
double acos(double);
double atan(double);
double atan2(double, double);
double hypot(double, double);
double exp(double);
double log(double);
double log10(double);
double pow(double, double);

/* the helpers and tables among them */
#define __cos pmath_musl_i_cos
#define __cosdf pmath_musl_i_cosdf
#define __cosl pmath_musl_i_cosl
#define __expo2 pmath_musl_i_expo2
#define __expo2f pmath_musl_i_expo2f
#define __lgamma_r pmath_musl_i_lgamma_r
#define __lgammaf_r pmath_musl_i_lgammaf_r
#define __math_divzero pmath_musl_i_math_divzero
#define __math_divzerof pmath_musl_i_math_divzerof
#define __math_invalid pmath_musl_i_math_invalid
#define __math_invalidf pmath_musl_i_math_invalidf
#define __math_invalidl pmath_musl_i_math_invalidl
#define __math_oflow pmath_musl_i_math_oflow
#define __math_oflowf pmath_musl_i_math_oflowf
#define __math_uflow pmath_musl_i_math_uflow
#define __math_uflowf pmath_musl_i_math_uflowf
#define __math_xflow pmath_musl_i_math_xflow
#define __math_xflowf pmath_musl_i_math_xflowf
#define __p1evll pmath_musl_i_p1evll
#define __polevll pmath_musl_i_polevll
#define __rem_pio2 pmath_musl_i_rem_pio2
#define __rem_pio2_large pmath_musl_i_rem_pio2_large
#define __rem_pio2f pmath_musl_i_rem_pio2f
#define __rem_pio2l pmath_musl_i_rem_pio2l
#define __sin pmath_musl_i_sin
#define __sindf pmath_musl_i_sindf
#define __sinl pmath_musl_i_sinl
#define __tan pmath_musl_i_tan
#define __tandf pmath_musl_i_tandf
#define __tanl pmath_musl_i_tanl
#define __exp_data pmath_musl_i_exp_data
#define __log_data pmath_musl_i_log_data
#define __pow_log_data pmath_musl_i_pow_log_data

#endif
