/* Small arithmetic helpers. */
#ifndef MATHX_H
#define MATHX_H
long factorial(int n);
int gcd();
int is_even(int n);
int is_odd(int n);
#endif
