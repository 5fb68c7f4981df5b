/* 日本語のコメント：表示とソースの「表」は 0x5C を含む */
const char *title(void)
{
    return "表示能力のテスト";
}

void show(void)
{
    puts(title());   /* 画面に表示 */
}
