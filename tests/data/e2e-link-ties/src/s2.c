/* f is defined in s1.c and s3.c; the call here reaches the first. */
#ifdef FAST
int g(void)
{
    return 1;
}
#else
int g(void)
{
    return 2;
}
#endif

int h(int a, int b, int c)
{
    return a + b + c;
}

int caller2(void)
{
    return f(1) + g() + h(1, 2);
}
