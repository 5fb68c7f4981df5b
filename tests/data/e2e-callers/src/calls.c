/* Callers trees: a caller with two calls, a recursion, a function met twice,
   a chain longer than the depth limit, and a name no source defines. */
void leaf(void) {}
void mid(void) { leaf(); leaf(); }
void self(int n) { if (n) self(n - 1); leaf(); }
void hub(void) { mid(); self(3); }
int main(void) { hub(); puts("done"); return 0; }
void c1(void) { leaf(); }
void c2(void) { c1(); }
void c3(void) { c2(); }
void c4(void) { c3(); }
void c5(void) { c4(); }
void c6(void) { c5(); puts("c6"); }
