/* A small program to look at with Velmora: start with the tree of main. */
#include <stdio.h>
#include "util/mathx.h"

void greet(const char *who);
int shape_demo(void);
void wide_report(int n);

static void banner(void)
{
    printf("velmora sample\n");
}

int main(int argc, char **argv)
{
    int n = argc > 1 ? 5 : 4;
    banner();
    greet(argv[0]);
    printf("%d! = %ld\n", n, factorial(n));
    printf("gcd = %d\n", gcd(48, 18));
    shape_demo();
    wide_report(n);
    log_event("done", n);   /* defined nowhere: a call to a missing function */
    return 0;
}
