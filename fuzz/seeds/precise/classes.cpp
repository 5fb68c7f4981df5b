namespace n {
struct A { int f() const; void g(A &o) { o.f(); helper(1, 2); } A *next; };
int A::f() const { return next ? next->f() : 0; }
template <typename T> T twice(T v) { return v + v; }
}  // namespace n
int main() { n::A a; a.g(a); return n::twice(3); }
