/* 日本語のコメント：呼び出しの位置を確かめる */
static int helper(int x)
{
    return x + 1;
}

int caller(void)
{
    /* 表示 */ int v = helper(1); return v;
}
