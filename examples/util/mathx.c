/* Small arithmetic helpers: a direct recursion, a mutual recursion and an
   old-style (K&R) definition. */
#include "mathx.h"

long factorial(int n)
{
    if (n <= 1)
        return 1;
    return n * factorial(n - 1);
}

int is_even(int n)
{
    return n == 0 ? 1 : is_odd(n - 1);
}

int is_odd(int n)
{
    return n == 0 ? 0 : is_even(n - 1);
}

/* K&R style: the parameter types follow the parameter list. */
int gcd(a, b)
int a;
int b;
{
    if (b == 0)
        return a;
    if (is_even(a) && is_even(b))
        return 2 * gcd(a / 2, b / 2);
    return gcd(b, a % b);
}
