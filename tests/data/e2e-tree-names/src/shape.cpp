// A method outside its class and a plain function of the same name.
int Shape::area()
{
    return w * h;
}

int area()
{
    return 0;
}

int show()
{
    return Shape::area() + area();
}
