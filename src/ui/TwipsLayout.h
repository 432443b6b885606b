// Places controls from design positions in twips (1440 to the inch). The
// scale starts from the screen's logical dpi and grows, keeping proportions,
// when the font in use needs more room than the design allowed for.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

class QWidget;

namespace mdbtokvt::ui {

// A rectangle in twips: left, top, width, height.
struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// The size a design rectangle gives its control, in twips.
inline QSize DesignSize(const TwipsRect& r) { return {r.width, r.height}; }

// What a control needs in pixels, against the size the design gave it.
struct SpaceNeed {
  QSize pixels;       // smallest size that shows the control uncut
  QSize designTwips;  // the control's size in the design
};

// The dpi scale (logicalDpi / 1440), enlarged just enough that every need fits;
// never below the dpi scale.
double FitPixelsPerTwip(double logicalDpi, const std::vector<SpaceNeed>& needs);

// Room for a caption on a button or label, in pixels: its text plus a
// character's width either side.
QSize CaptionNeed(const QWidget& widget, const QString& text);

class TwipsLayout {
 public:
  explicit TwipsLayout(double pixelsPerTwip) : pixelsPerTwip_(pixelsPerTwip) {}

  int Pixels(int twips) const;
  QSize Size(int widthTwips, int heightTwips) const;
  // Edges are rounded separately, so controls that touch in the design touch
  // on screen as well.
  QRect Rect(const TwipsRect& r) const;
  void Place(QWidget& widget, const TwipsRect& r) const;

 private:
  double pixelsPerTwip_;
};

}  // namespace mdbtokvt::ui
