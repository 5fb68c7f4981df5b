/* Both branches open a brace: the body never closes for the parser. */
int pick(int c)
{
#if USE_NEW
    if (c) {
#else
    if (!c) {
#endif
        work(c);
    }
    return 0;
}

int after(int d)
{
    return pick(d);
}
