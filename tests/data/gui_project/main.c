/* A small project for the desktop program's tests. */
#include <stdio.h>

static int helper(int a) { return a + 1; }

int compute(int x, int y) { return helper(x) * y; }

int main(int argc, char **argv) {
  printf("%d\n", compute(argc, 2));
  missing_function(1, 2, 3);
  return compute(1, helper(2));
}
