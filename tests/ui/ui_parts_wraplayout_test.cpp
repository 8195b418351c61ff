// The row that wraps: side by side where there is room, the width left over at its stretch,
// one under the other where there is not.

#include "ui/wraplayout.h"

#include "../casename.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace kelvora {
namespace {

using testcase::CaseName;
using testcase::PrintTo;

struct WrapCase
{
    const char *name;
    int width;
    bool oneRow;
};

class WrapRow : public ::testing::TestWithParam<WrapCase>
{
};

TEST_P(WrapRow, PlacesItsWidgetsWithoutOverlapWithinItsWidth)
{
    const WrapCase &c = GetParam();
    QWidget row;
    auto *layout = new WrapLayout(&row);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(6);
    auto *left = new QWidget(&row);
    left->setFixedSize(200, 20);
    auto *right = new QWidget(&row);
    right->setFixedSize(180, 70);
    layout->addWidget(left);
    layout->addStretch();
    layout->addWidget(right);

    EXPECT_EQ(layout->minimumSize().width(), 200 + 8) << "as narrow as its widest widget";
    EXPECT_EQ(layout->sizeHint(), QSize(200 + 6 + 180 + 8, 70 + 6));
    const int height = layout->heightForWidth(c.width);
    row.resize(c.width, height);
    layout->setGeometry(row.rect());

    EXPECT_FALSE(left->geometry().intersects(right->geometry()));
    EXPECT_TRUE(row.rect().contains(left->geometry()));
    EXPECT_TRUE(row.rect().contains(right->geometry()));
    EXPECT_EQ(left->x(), 4);
    if (c.oneRow) {
        EXPECT_EQ(height, 70 + 6);
        EXPECT_EQ(right->geometry().right(), c.width - 1 - 4) << "the stretch before it";
        EXPECT_EQ(left->y(), 2 + (70 - 20) / 2) << "centred in the row";
    } else {
        EXPECT_EQ(height, 20 + 6 + 70 + 6);
        EXPECT_EQ(right->x(), 4) << "the second row begins at the left";
        EXPECT_EQ(right->y(), 2 + 20 + 6);
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, WrapRow,
                         ::testing::Values(WrapCase{"Wide", 600, true},
                                           WrapCase{"JustWideEnough", 394, true},
                                           WrapCase{"OnePixelTooNarrow", 393, false},
                                           WrapCase{"Narrowest", 208, false}),
                         CaseName);

} // namespace
} // namespace kelvora
