int clean(void)
{
    return later();
}
