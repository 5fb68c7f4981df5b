/* K&R heads and the argc/items table */
int f(a, b)
int a;
int b;
{
    return g(a, b);
}

int h(a) int a; { k(1); }

int m(void) { n(); }
int p(int a, int b);
