#pragma once
// The Selvik's texts in the window's controls and the placing of those controls:
// the window is sized and centred on the screen once, the contents on every call.
#include <QSize>

class QWidget;
class frmMain;
class Twips;

class RigVelaFormLayout {
 public:
  static constexpr double WindowWidth = 9525;
  static constexpr double MinHeight = 6600;
  static constexpr double MaxHeight = 9000;
  static constexpr double TallScreenHeight = 8500;

  void FormResource(frmMain& w) const;
  // screenPx: the screen's size in pixels.
  void FormLayout(frmMain& w, QSize screenPx, const Twips& t);
  bool sized() const { return sized_; }

  // The window height for a screen height, both in twips.
  static double WindowHeightFor(double screenHeight);

 private:
  void SizeWindow(frmMain& w, QSize screenPx, const Twips& t) const;
  void PlaceButtons(frmMain& w, const Twips& t) const;
  void PlaceFrames(frmMain& w, const Twips& t) const;
  void PlaceLists(frmMain& w, const Twips& t) const;
  void PlaceLabelsAndText(frmMain& w, const Twips& t) const;

  bool sized_ = false;
};
