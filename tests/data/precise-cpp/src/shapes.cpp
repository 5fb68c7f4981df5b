// Shapes: a fixture of the C++ forms a definition and a call can take.
#include <vector>

namespace geo {

struct Base {
  virtual ~Base() {}
  virtual int area() const noexcept = 0;
};

class Box : public Base, private util::Counter<int> {
public:
  Box(int w, int h) : w_(clamp(w)), h_(make_h(h, 2)) { init(); }
  ~Box() { release(this); }
  int area() const noexcept override { return this->width() * h_; }
  bool operator==(const Box &o) const { return same(*this, o); }
  explicit operator bool() const { return area() != 0; }
  auto scaled(int k) -> Box { return Box(w_ * k, h_ * k); }
  int width() const { return w_; }

private:
  int w_, h_;
};

namespace inner::deep {
template <typename T, int N>
T sum(const T (&v)[N], T (*fold)(T, T), int start = 0, ...) {
  T acc = start;
  for (int i = 0; i < N; i++) acc = fold(acc, v[i]);
  return acc;
}
}  // namespace inner::deep

}  // namespace geo

namespace A {
struct B {
  void f(int x);
  static int g();
};
}  // namespace A

/* out-of-class members */
void A::B::f(int x) {
  auto twice = [&](int y) { return helper(y, y); };
  struct Local {
    void run() { local_call(); }
  };
  Local l;
  l.run();
  g();
  std::sort(v.begin(), v.end());
  pick(x > 0 ? &x : nullptr, twice(x));
}

int A::B::g() { return ::global_count(); }

#if defined(OLD_API)
int choose(int a) {
  return old_choose(a);
}
#else
int choose(int a, int b) {
  return new_choose(a, b);
}
#endif

TEST_F(BoxTest, Area) {
  EXPECT_EQ(geo::Box(2, 3).area(), 6);
}

static void run(void) {
  LOG_MACRO("x", 1);
  choose(1, 2);
}

namespace geo {
int tally(int n);
}

int geo::tally(int n) { return count_of(n); }
