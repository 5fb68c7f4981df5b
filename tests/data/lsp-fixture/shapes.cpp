// Two classes with methods defined outside them, and a free function.
class Shape {
 public:
  double area() const;
  double grow(double by);
};

double Shape::area() const
{
    return 1.0;
}

double Shape::grow(double by)
{
    return area() * by;
}

double use_shape(Shape &s)
{
    return s.grow(2.0) + s.area();
}
