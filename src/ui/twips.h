#pragma once

#include <cmath>
#include <ostream>

#include <QRect>

// Positions and sizes are kept in twips, as the window tables give them.
// Qt's logical pixels are 96 per inch, so one pixel is 15 twips.
namespace twips {

inline constexpr int perPixel = 15;

inline int toPixels(double twips) { return static_cast<int>(std::lround(twips / perPixel)); }
inline double fromPixels(int pixels) { return static_cast<double>(pixels) * perPixel; }

inline QRect toPixels(double left, double top, double width, double height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

inline QRect fromPixels(const QRect& r)
{
    return QRect(r.x() * perPixel, r.y() * perPixel, r.width() * perPixel, r.height() * perPixel);
}

} // namespace twips

// A length in twips as the forms keep it: a single-precision number. It
// converts to and from a plain number only explicitly, so a twips size and
// QWidget's integer pixels (width(), move()) cannot be mixed by accident.
class Twips {
public:
    constexpr Twips() = default;
    constexpr explicit Twips(float value)
        : value_(value)
    {
    }
    constexpr float value() const { return value_; }
    int pixels() const { return twips::toPixels(value_); }

    constexpr auto operator<=>(const Twips&) const = default;
    friend std::ostream& operator<<(std::ostream& out, Twips length) { return out << length.value_ << " twips"; }

private:
    float value_ = 0;
};
