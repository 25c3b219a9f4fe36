#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <tuple>
#include <utility>

#include "AppFixture.h"
#include "Globals.h"
#include "RigVelaFormLayout.h"
#include "Twips.h"
#include "clsIndOp_RigVela.h"
#include "frmMain.h"
#include "start.h"

namespace {

TEST(WindowHeight, ClampedAndTallScreensGetLess) {
  const std::pair<double, double> cases[] = {{15360, 8500}, {10000, 9000}, {10020, 8500}, {9000, 8100},
                                             {7334, 6601},  {7000, 6600},  {0, 6600}};
  for (const auto& [screen, window] : cases) EXPECT_EQ(RigVelaFormLayout::WindowHeightFor(screen), window) << screen;
}

// The started window, laid out again by a layout that has not sized it yet.
class LayoutTest : public AppFixture {
 protected:
  LayoutTest() : started(start::Main()), w(Globals::mainWindow()) {}

  void layOut(QSize screen) {
    RigVelaFormLayout fresh;
    fresh.FormLayout(w, screen, Twips(15));
  }
  int innerHeight() const { return w.centralWidget()->height(); }
  // Space left and right of the three buttons, in pixels.
  std::pair<int, int> buttonMargins() {
    return {w.cmd00(0).x(), w.centralWidget()->width() - (w.cmd00(2).x() + w.cmd00(2).width())};
  }

  bool started;
  frmMain& w;
};

TEST_F(LayoutTest, FirstLayoutSizesAndCentresTheWindow) {
  ASSERT_TRUE(started);
  struct Case {
    QSize screen;
    int height;
    QPoint place;
  };
  const Case cases[] = {{{1280, 1024}, 567, {323, 137}}, {{800, 600}, 540, {83, 18}}, {{640, 480}, 440, {3, 12}}};
  for (const Case& c : cases) {
    layOut(c.screen);
    EXPECT_EQ(w.frameGeometry().size(), QSize(635, c.height)) << c.screen.height();
    EXPECT_EQ(w.frameGeometry().topLeft(), c.place) << c.screen.height();
    const QSize frame = w.frameGeometry().size() - w.size();
    EXPECT_EQ(innerHeight(), c.height - frame.height() - w.menuBar()->height());
  }
}

// Figures in pixels at 15 twips each; the inner width is the window's less its frame.
TEST_F(LayoutTest, ControlsStandWhereTheirFiguresSay) {
  layOut({1280, 1024});
  const int inner = innerHeight();
  const int width = w.centralWidget()->width();
  const auto [left, right] = buttonMargins();
  EXPECT_LE(std::abs(left - right), 1) << left << " " << right;
  for (int16_t i = 0; i <= 2; ++i) {
    EXPECT_EQ(w.cmd00(i).geometry(), QRect(left + 128 * i, 9, 120, 22)) << i;
    EXPECT_TRUE(w.cmd00(i).isVisibleTo(&w));
  }
  const QRect shielding(8, 31, width - 16, inner - 39);
  for (int16_t i : {0, 1, 3}) EXPECT_EQ(w.fra01(i).geometry(), shielding) << i;
  EXPECT_EQ(w.fra01(2).geometry(), QRect(8, 12, width - 32, 160));
  const QRect ad = w.lbo01(0).geometry();
  EXPECT_EQ(ad.topLeft(), QPoint(8, 8));
  EXPECT_EQ(ad.height(), 152);
  EXPECT_LE(std::abs(2 * ad.width() + 24 - (width - 32)), 1) << ad.width();
  EXPECT_EQ(w.lbo01(1).geometry(), ad.translated(ad.width() + 8, 0));
  EXPECT_EQ(w.lboConsole().geometry(), QRect(16, 180, width - 48, shielding.height() - 192));
  EXPECT_EQ(w.txtDispPara().geometry(), QRect(8, 16, width - 32, shielding.height() - 24));
  // The title and the progress centred on the first frame, 16 apart.
  const std::pair<const QLabel*, int> labels[] = {{&w.lblTitle(), 16}, {&w.lblProgress(), 32 + w.lblTitle().height()}};
  for (const auto& [label, y] : labels) {
    EXPECT_LE(std::abs(2 * label->x() + label->width() - shielding.width()), 1);
    EXPECT_EQ(label->y(), y);
    EXPECT_EQ(label->parentWidget(), &w.fra01(0));
  }
  EXPECT_EQ(std::make_tuple(w.fra01(0).isVisible(), w.fra01(1).isVisible(), w.fra01(3).isVisible()),
            std::make_tuple(true, false, false));
}

TEST_F(LayoutTest, ALowWindowKeepsEveryHeightAtLeastOne) {
  layOut({1280, 1024});
  w.resize(635, w.menuBar()->height() + 20);
  ASSERT_LT(innerHeight(), 40);
  EXPECT_EQ(w.fra01(0).height(), 1);
  EXPECT_EQ(w.lboConsole().height(), 1);
  EXPECT_EQ(w.txtDispPara().height(), 1);
  for (QWidget* control : w.findChildren<QWidget*>()) EXPECT_GE(control->height(), 1);
}

TEST_F(LayoutTest, LaterLayoutsKeepTheWindowAndCentreTheButtons) {
  layOut({1280, 1024});
  w.resize(1000, 500);
  w.move(40, 50);
  Globals::model().RigOpFunc_FormLayout();
  EXPECT_EQ(w.size(), QSize(1000, 500));
  EXPECT_EQ(w.pos(), QPoint(40, 50));
  const auto [left, right] = buttonMargins();
  EXPECT_LE(std::abs(left - right), 1) << left << " " << right;
  const int width = w.centralWidget()->width();
  EXPECT_EQ(w.linSepa(1).width(), width);
  EXPECT_EQ(w.fra01(0).width(), width - 16);
  EXPECT_EQ(w.lboConsole().width(), width - 48);
  EXPECT_LE(std::abs(2 * w.lbo01(0).width() + 24 - (width - 32)), 1);
  EXPECT_EQ(w.lbo01(1).width(), w.lbo01(0).width());
}

}  // namespace
