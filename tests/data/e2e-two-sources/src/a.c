/* The caller side. */
int helper(int n);

int main(void)
{
    int total = helper(1) + helper(2);
    report(total);
    return 0;
}
