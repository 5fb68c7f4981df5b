/* The example project of the call-tree tests: main calls a and b, a calls c,
   b calls a and d, which no source defines. */
int main()
{
    a();
    b();
    return 0;
}

void a()
{
    c();
}

void c()
{
}

void b()
{
    a();
    d();
}
