// Constructs the parser skips or treats specially, packed together.
#define MAX(a, b) ((a) > (b) ? (a) : (b)) \
  continued
typedef struct tagP { int x; int (*fn)(int); } P;
enum E { A = 1 << 2, B = sizeof(P), C };
extern "C" { int ext_c(void); }
namespace ns {
class Shape : public Base {
 public:
  Shape() : w(0) {}
  virtual ~Shape() {}
  int area() const { return w * h(); }
  Shape &operator=(const Shape &o) { w = o.w; return *this; }
 private:
  int w;
};
}
int Shape::h() const { return ns::helper(w, "str\"ing", '\'') ?: 0; }
static int knr(a, b) int a; char *b; { return a ? knr(a - 1, b) : (int)b[0]; }
void asm_user(void) { __asm__ volatile("nop" ::: "memory"); __asm { mov eax, 1 } }
int main(int argc, char **argv) {
  int v[3] = {1, 2, 3};
  for (int i = 0; i < argc; i++) { switch (i) { case 0: break; default: v[i % 3] += !~-i; } }
  try { throw 1; } catch (...) { }
  do { argc--; } while (argc > 0 && (argc = MAX(argc, 0x1F)));
  return Shape().area() + knr(2, argv[0]) + ext_c() + sizeof(int) + v[0]++ + --v[1];
}
