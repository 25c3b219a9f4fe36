#include "RigVelaFormLayout.h"

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cmath>

#include "Twips.h"
#include "frmMain.h"

namespace {

constexpr double kMargin = 120;
constexpr double kButtonWidth = 1800;
constexpr double kButtonHeight = 330;
constexpr double kListFrameHeight = 2400;

void fillReadingList(QListWidget& list, const char* head, int lines) {
  list.clear();
  list.addItem(head);
  for (int i = 0; i < lines; ++i) list.addItem("----");
}

void showAtEndOfTabOrder(QWidget& control) {
  control.setFocusPolicy(Qt::StrongFocus);
  QWidget* last = control.window()->previousInFocusChain();
  if (last != nullptr && last != &control) QWidget::setTabOrder(last, &control);
  control.setVisible(true);
}

}  // namespace

void RigVelaFormLayout::FormResource(frmMain& w) const {
  w.cmd00(0).setText("Connect");
  w.cmd00(1).setText("Reload(F5)");
  w.cmd00(2).setText("Disp para");
  fillReadingList(w.lbo01(0), "[A/D]", 5);
  fillReadingList(w.lbo01(1), "[D/A]", 9);
  w.lblProgress().setText(QString(32, ' '));
}

double RigVelaFormLayout::WindowHeightFor(double screenHeight) {
  double h = std::round(0.9 * screenHeight);
  if (h < MinHeight) h = MinHeight;
  if (h > MaxHeight) h = TallScreenHeight;
  return h;
}

void RigVelaFormLayout::FormLayout(frmMain& w, QSize screenPx, const Twips& t) {
  if (!sized_) {
    sized_ = true;
    SizeWindow(w, screenPx, t);
  }
  PlaceButtons(w, t);
  PlaceFrames(w, t);
  PlaceLists(w, t);
  PlaceLabelsAndText(w, t);
}

void RigVelaFormLayout::SizeWindow(frmMain& w, QSize screenPx, const Twips& t) const {
  const double screenWidth = t.fromPx(screenPx.width());
  const double screenHeight = t.fromPx(screenPx.height());
  const double height = WindowHeightFor(screenHeight);
  w.setOuterGeometry(QRect(t.px((screenWidth - WindowWidth) / 2), t.px((screenHeight - height) * 0.3),
                           t.sizePx(WindowWidth), t.sizePx(height)));
}

void RigVelaFormLayout::PlaceButtons(frmMain& w, const Twips& t) const {
  const QWidget& line = w.linSepa(1);
  const double x1 = t.Left(line);
  const double x2 = x1 + t.Width(line);
  const double y1 = t.Top(line);
  for (int16_t i = 0; i <= 2; ++i) {
    QPushButton& button = w.cmd00(i);
    const double left = x1 + ((x2 - x1) - (3 * kButtonWidth + 2 * kMargin)) / 2 + i * (kButtonWidth + kMargin);
    t.Move(button, left, y1 + kMargin, kButtonWidth, kButtonHeight);
    showAtEndOfTabOrder(button);
  }
}

void RigVelaFormLayout::PlaceFrames(frmMain& w, const Twips& t) const {
  const QSize inner = w.innerSize();
  const QPushButton& button = w.cmd00(2);
  const double top = t.Top(button) + t.Height(button);
  const double height = std::round(t.fromPx(inner.height()) - top - kMargin);
  t.Move(w.fra01(0), kMargin, top, t.fromPx(inner.width()) - 2 * kMargin, height);
  const QRect shielding = w.fra01(0).geometry();
  w.fra01(1).setGeometry(shielding);
  w.fra01(3).setGeometry(shielding);

  QWidget& lists = w.fra01(2);
  t.Move(lists, kMargin, 180, t.Width(w.fra01(1)) - 2 * kMargin, kListFrameHeight);
  if (auto* frame = qobject_cast<QFrame*>(&lists)) frame->setFrameShape(QFrame::NoFrame);
  lists.setVisible(true);
}

void RigVelaFormLayout::PlaceLists(frmMain& w, const Twips& t) const {
  const QWidget& lists = w.fra01(2);
  QListWidget& ad = w.lbo01(0);
  t.Move(ad, kMargin, kMargin, (t.Width(lists) - 3 * kMargin) / 2, t.Height(lists) - kMargin);
  ad.setVisible(true);
  QListWidget& da = w.lbo01(1);
  t.Move(da, t.Left(ad) + t.Width(ad) + kMargin, t.Top(ad), t.Width(ad), t.Height(ad));
  da.setVisible(true);

  const QWidget& editing = w.fra01(1);
  QListWidget& console = w.lboConsole();
  const double top = t.Top(lists) + t.Height(lists) + kMargin;
  t.Move(console, t.Left(lists) + kMargin, top, t.Width(editing) - 4 * kMargin,
         std::round(t.Height(editing) - top - 180));
  console.setVisible(true);
}

void RigVelaFormLayout::PlaceLabelsAndText(frmMain& w, const Twips& t) const {
  const double frameWidth = t.Width(w.fra01(0));
  QLabel& title = w.lblTitle();
  t.Move(title, (frameWidth - t.Width(title)) / 2, 240);
  title.setVisible(true);
  QLabel& progress = w.lblProgress();
  t.Move(progress, (frameWidth - t.Width(progress)) / 2, t.Top(title) + t.Height(title) + 240);
  progress.setVisible(true);

  QPlainTextEdit& text = w.txtDispPara();
  const QWidget& display = w.fra01(3);
  t.Move(text, kMargin, 240, t.Width(display) - 2 * kMargin, std::round(t.Height(display) - 360));
  showAtEndOfTabOrder(text);
}
