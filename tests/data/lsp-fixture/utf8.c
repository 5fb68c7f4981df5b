/* Grüße aus UTF-8 😀 */
int u_main(void)
{
    /* ü€😀 */ u_leaf(); return caller();
}

void u_leaf(void)
{
    printf("leaf\n");
}
