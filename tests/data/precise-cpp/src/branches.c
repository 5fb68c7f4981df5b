/* C sources take the C grammar: "class" and "new" are plain names here. */
int class = 1;

static int new(int this, ...)
{
    return va_count(this);
}

#if NEW
int f(int a) {
#else
int f(int a, int b) {
#endif
  g(a);
  return 1;
}

void broken( { lost(); }
int later(int q) { k(q); }
