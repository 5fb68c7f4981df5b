// A class with one method defined inside its body and others outside.
#ifndef SHAPE_H
#define SHAPE_H

class Shape {
 public:
  Shape(int w, int h) : w_(w), h_(h) {}
  int width() const { return w_; }
  int area() const;
  int perimeter() const;

 private:
  int w_, h_;
};

#endif
