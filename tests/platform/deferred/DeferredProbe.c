/* A library the deferred-library tests load through trampolines: functions
 * whose results show whether every argument arrived where the caller put it. */
#include <stdarg.h>

/* Six integer registers, eight vector registers, and two more of each kind on
 * the stack; each argument weighs differently, so a swap changes the sum. */
double vexlin_probe_mix(int a, long b, int c, long d, int e, long f, int g, long h, double x0,
                        double x1, double x2, double x3, double x4, double x5, double x6, double x7,
                        double x8, double x9) {
    return a * 1.0 + b * 2.0 + c * 3.0 + d * 4.0 + e * 5.0 + f * 6.0 + g * 7.0 + h * 8.0 +
           x0 * 9.0 + x1 * 10.0 + x2 * 11.0 + x3 * 12.0 + x4 * 13.0 + x5 * 14.0 + x6 * 15.0 +
           x7 * 16.0 + x8 * 17.0 + x9 * 18.0;
}

/* Variadic, with doubles: the caller says in al how many vector registers
 * it used. */
double vexlin_probe_weighted(int count, ...) {
    va_list list;
    va_start(list, count);
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        sum += (i + 1) * va_arg(list, double);
    }
    va_end(list);
    return sum;
}

/* Returned through a hidden pointer in the first register. */
struct VexlinProbeTriple {
    long first, second, third;
};
struct VexlinProbeTriple vexlin_probe_triple(long seed) {
    struct VexlinProbeTriple triple = {seed, seed * 2, seed * 3};
    return triple;
}

int vexlin_probe_twice(int value) {
    return value * 2;
}
