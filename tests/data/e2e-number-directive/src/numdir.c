#ifdef X
# define A 2
#else
# define A 1
#endif

int f(void)
{
	return 1;
}
