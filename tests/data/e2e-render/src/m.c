int leaf(int n)
{
    return n + 1;
}

int main(void)
{
    return leaf(1) + leaf(2);
}
