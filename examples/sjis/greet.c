/* 挨拶を表示するソース（Shift_JIS で保存） */
#include <stdio.h>

/* 表示する文言：「こんにちは、世界」 */
static const char *message(void)
{
    return "こんにちは、世界";
}

/* 名前を添えて挨拶する */
void greet(const char *who)
{
    printf("%s: %s\n", who, message());
    puts("ソース解析のサンプルです。表示能力を確かめます。");
}
