#pragma once
#include <string>

namespace gfx {

struct Point {
    double x = 0;
    double y = 0;

    bool operator==(const Point&) const = default;
    Point operator+(const Point& o) const { return {x + o.x, y + o.y}; }
    Point operator-(const Point& o) const { return {x - o.x, y - o.y}; }
};

struct Size {
    double width = 0;
    double height = 0;

    bool operator==(const Size&) const = default;
    bool isEmpty() const { return width <= 0 || height <= 0; }
};

struct EdgeInsets;

// Origin plus size. Sizes may be negative; the min/max accessors and the set operations work
// on the standardized rect, as callers compute frames by subtraction.
struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(Point o, Size s) : origin(o), size(s) {}
    Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

    // What an empty intersection yields: no position at all, unlike a zero rect at the origin.
    static Rect null();

    bool operator==(const Rect&) const = default;

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    double minX() const;
    double midX() const;
    double maxX() const;
    double minY() const;
    double midY() const;
    double maxY() const;
    Point center() const { return {midX(), midY()}; }

    bool isNull() const;
    bool isEmpty() const;
    Rect standardized() const;

    // Half-open on the far edges, so adjacent rects never both contain a point.
    bool contains(Point p) const;
    bool contains(const Rect& r) const;
    bool intersects(const Rect& r) const;
    Rect intersection(const Rect& r) const;
    Rect united(const Rect& r) const;
    Rect insetBy(double dx, double dy) const;
    Rect insetBy(const EdgeInsets& insets) const;
    Rect offsetBy(double dx, double dy) const;
    // Smallest rect on whole units that contains this one.
    Rect integral() const;

    std::string toString() const;
};

struct EdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;

    bool operator==(const EdgeInsets&) const = default;
    bool isZero() const { return top == 0 && left == 0 && bottom == 0 && right == 0; }
    Rect inset(const Rect& r) const { return r.insetBy(*this); }
};

} // namespace gfx
