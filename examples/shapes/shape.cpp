// Methods of Shape defined outside the class body, and a demo that uses them.
#include "shape.h"
#include <cstdio>

int Shape::area() const
{
    return w_ * h_;
}

int Shape::perimeter() const
{
    return 2 * (width() + h_);
}

int shape_demo(void)
{
    Shape s(3, 4);
    std::printf("area %d, perimeter %d\n", s.area(), s.perimeter());
    return s.area();
}
