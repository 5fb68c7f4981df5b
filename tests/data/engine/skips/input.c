#include <stdio.h>
#define F(x) g(x)
typedef struct {
    int a;
} T;
enum E { X = 1, Y } v;
extern "C" {
int f(void)
{
    __asm { mov eax, 1 }
    asm volatile ("nop" : : );
    switch (k(x)) {
    case X: break;
    case 1: h(); break;
    case 'a': break;
    default: break;
    }
    for (i = 0; i < n[2]; i++) z(i);
    s = "ab"
        "cd";
    return x ? a : b;
}
}
