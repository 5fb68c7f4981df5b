class A : public B {
    void f() { g(); }
};
void A::h(int x) {}
A::~A() { A::B::f(); }
int q() { obj.m(1); p->m(2, 3); y = (int)c(x); M(char *); }
class C;
int r(void) { s(); }
