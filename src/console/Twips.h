#pragma once
// The window's length unit: 1440 to the logical inch, 15 to a pixel at 96 DPI.
// Reads and places widgets in it; a placed size is never below one pixel.
class QScreen;
class QWidget;

class Twips {
 public:
  explicit Twips(double perPixel = 15.0) : perPixel_(perPixel > 0 ? perPixel : 15.0) {}
  static Twips ForScreen(const QScreen* screen);

  double perPixel() const { return perPixel_; }
  int px(double twips) const;
  int sizePx(double twips) const;
  double fromPx(int pixels) const { return pixels * perPixel_; }

  double Left(const QWidget& w) const;
  double Top(const QWidget& w) const;
  double Width(const QWidget& w) const;
  double Height(const QWidget& w) const;
  void Move(QWidget& w, double left, double top) const;
  void Move(QWidget& w, double left, double top, double width, double height) const;

 private:
  double perPixel_;
};
