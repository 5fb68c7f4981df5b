/* Helpers defined in a sub-folder. */
int twice(int v) { return v * 2; }










int fact(int n) {
  if (n < 2) return 1;
  return n * fact(n - 1);
}
