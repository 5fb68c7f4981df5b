/* The callee side. */
static int twice(int n)
{
    return n * 2;
}

int helper(int n)
{
    return twice(n) + 1;
}
