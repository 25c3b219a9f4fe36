#include "Twips.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

Twips Twips::ForScreen(const QScreen* screen) {
  const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
  return Twips(dpi > 0 ? 1440.0 / dpi : 15.0);
}

int Twips::px(double twips) const { return static_cast<int>(std::lround(twips / perPixel_)); }

int Twips::sizePx(double twips) const { return std::max(1, px(twips)); }

double Twips::Left(const QWidget& w) const { return fromPx(w.x()); }

double Twips::Top(const QWidget& w) const { return fromPx(w.y()); }

double Twips::Width(const QWidget& w) const { return fromPx(w.width()); }

double Twips::Height(const QWidget& w) const { return fromPx(w.height()); }

void Twips::Move(QWidget& w, double left, double top) const { w.move(px(left), px(top)); }

void Twips::Move(QWidget& w, double left, double top, double width, double height) const {
  w.setGeometry(px(left), px(top), sizePx(width), sizePx(height));
}
