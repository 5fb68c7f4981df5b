/* A conditional whose branch takes an address, as a call's argument. */
int use(int x)
{
    f(x ? &y : z);
}

int later(void)
{
    return use(1);
}
