int f(int x)
{
    return -x;
}

int caller3(void)
{
    return f(3) + g();
}
