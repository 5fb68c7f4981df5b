/* UTF-8 with a mark: ユニコード */
int main(void)
{
    show();
    return wide_one();
}
