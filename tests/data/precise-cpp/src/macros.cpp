// Macro invocations among declarations, and export macros in class heads.
#define MAKE_DEFAULT(type, value) \
  template <>                     \
  struct Default<type> {          \
    static type Get() { return value; } \
  }

namespace outer {
namespace inner {

MAKE_DEFAULT(void, );  // nothing to return
MAKE_DEFAULT(char, '\0');
MAKE_DEFAULT(::std::string, "");

template <typename T>
struct Holder {
  T operator()(int&&...) { return make(); }
};

}  // namespace inner

class EXPORT_API Counter : public Base {
 public:
  DISALLOW_COPY(Counter);
  int Next() { return bump(1); }
};

int Start() {
  REGISTER_ITEM(Counter, "counter");
  return Counter().Next();
}

}  // namespace outer

namespace outer {
EXPORT_API Counter Make(int n) { return Counter(n); }
WORD Plain(void) { return 0; }

template <>
class EXPORT_API Matcher<int> : public Base {
 public:
  Matcher() {}
};
}  // namespace outer

class Guarded {
 public:
  void Wait() const LOCKS_REQUIRED(mu_) { wait_for(mu_); }
  int Size() NO_THROW_ override;
};

void Guarded::Stop()  // ends it
    LOCKS_EXCLUDED(mu_) {
  if (running) HALT(1);
}

EXPORT_API std::vector<int>* Guarded::Find(const char* key) { return lookup(key); }

namespace outer {
struct Item {
  int Size() const;
};
class Shelf {
 public:
  void Sort(const Item &first, Item *second, int n) {
    first.Size();
    second->Size();
    Item third = Pick(n);
    third.Size();
    { std::string fourth; fourth.size(); }
    auto fifth = Pick(n);
    fifth.Size();
    items_.clear();
    count_.Size();
  }
 private:
  Counter count_;
  std::vector<Item> items_;
};
}  // namespace outer

void outer::Shelf::Empty() {
  items_.clear();
  count_.Next();
}

namespace outer {
Shelf *Current();
Shelf &Shelf::Self() { return *this; }
void Use() {
  Current()->Sort(Item(), nullptr, 0);
  Current()->Self().Empty();
}
}  // namespace outer
