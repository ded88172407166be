// The about box's legal text is shown whole: at the scale the test runs at (QT_SCALE_FACTOR
// 1 and 2, set by CTest) and with a large font, no line of it is cut off by its label, and
// the label stays clear of the buttons and inside the box.
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include "shell/frmAbout.h"
#include "support/TestPlatform.h"

using namespace brimlow;

namespace {

// True when ink of the text reaches the label's right or bottom edge, as it does when the
// label cuts lines off.
bool InkAtTheEdges(QLabel* label)
{
    const QImage image = label->grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    const int edge = static_cast<int>(2 * dpr);
    auto dark = [&](int x, int y) { return qGray(image.pixel(x, y)) < 128; };
    for (int y = 0; y < image.height(); ++y)
        for (int x = image.width() - edge; x < image.width(); ++x)
            if (dark(x, y))
                return true;
    for (int y = image.height() - edge; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (dark(x, y))
                return true;
    return false;
}

void ExpectTheLegalTextWhole(frmAbout& box)
{
    QLabel* text = box.lblDisclaimer;
    const QRect need = QFontMetrics(text->font()).boundingRect(QRect(0, 0, 10000, 10000),
                                                               Qt::AlignLeft | Qt::AlignTop, text->text());
    EXPECT_LE(need.width(), text->contentsRect().width()) << text->text().toStdString();
    EXPECT_LE(need.height(), text->contentsRect().height());
    EXPECT_FALSE(InkAtTheEdges(text));
    EXPECT_TRUE(box.rect().contains(text->geometry())) << box.width() << "x" << box.height();
    EXPECT_FALSE(text->geometry().intersects(box.cmdOK->geometry()));
    EXPECT_FALSE(text->geometry().intersects(box.cmdSysInfo->geometry()));
    EXPECT_TRUE(box.rect().contains(box.cmdSysInfo->geometry()));
    EXPECT_EQ(text->text().count(QLatin1Char('\n')), 3);  // four lines
}

}  // namespace

TEST(AboutBoxLayout, LegalTextIsWholeAtThisScale)
{
    test::TestPlatform tp;
    frmAbout box(tp.platform);
    box.show();
    ExpectTheLegalTextWhole(box);
    // The usual fonts keep the design size.
    EXPECT_EQ(box.size(), QSize(382, 262));
}

TEST(AboutBoxLayout, ALargeFontGrowsTheBoxInsteadOfCuttingTheText)
{
    const QFont old = QApplication::font();
    QFont big = old;
    big.setPointSizeF(old.pointSizeF() * 1.6);
    QApplication::setFont(big);
    test::TestPlatform tp;
    {
        frmAbout box(tp.platform);
        box.show();
        ExpectTheLegalTextWhole(box);
        EXPECT_GT(box.width(), 382);
    }
    QApplication::setFont(old);
}
