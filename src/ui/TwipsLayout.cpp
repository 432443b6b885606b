#include "ui/TwipsLayout.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace mdbtokvt::ui {

namespace {
constexpr double kTwipsPerInch = 1440.0;
}

QSize CaptionNeed(const QWidget& widget, const QString& text) {
  const QFontMetrics metrics = widget.fontMetrics();
  return {metrics.horizontalAdvance(text) + 2 * metrics.averageCharWidth(),
          widget.minimumSizeHint().height()};
}

double FitPixelsPerTwip(double logicalDpi, const std::vector<SpaceNeed>& needs) {
  const double dpiScale = logicalDpi / kTwipsPerInch;
  double growth = 1.0;
  for (const SpaceNeed& need : needs) {
    if (need.designTwips.width() > 0) {
      growth = std::max(growth, need.pixels.width() / (need.designTwips.width() * dpiScale));
    }
    if (need.designTwips.height() > 0) {
      growth = std::max(growth, need.pixels.height() / (need.designTwips.height() * dpiScale));
    }
  }
  return dpiScale * growth;
}

int TwipsLayout::Pixels(int twips) const {
  return static_cast<int>(std::lround(twips * pixelsPerTwip_));
}

QSize TwipsLayout::Size(int widthTwips, int heightTwips) const {
  return {Pixels(widthTwips), Pixels(heightTwips)};
}

QRect TwipsLayout::Rect(const TwipsRect& r) const {
  const int left = Pixels(r.left);
  const int top = Pixels(r.top);
  return {left, top, Pixels(r.left + r.width) - left, Pixels(r.top + r.height) - top};
}

void TwipsLayout::Place(QWidget& widget, const TwipsRect& r) const { widget.setGeometry(Rect(r)); }

}  // namespace mdbtokvt::ui
