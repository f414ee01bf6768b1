// The toolbar's images: drawn for the screen's density, not enlarged.
#include "ui/toolbar_images.h"

#include <gtest/gtest.h>

#include <QImage>

using qvo::ui::ToolbarImage;

TEST(ToolbarImages, ADenseScreenGetsTheImageDrawnForItsPixels)
{
    for (ToolbarImage image :
         {ToolbarImage::openFolder, ToolbarImage::cross, ToolbarImage::convert, ToolbarImage::window}) {
        const QIcon icon = qvo::ui::toolbarIcon(image);
        const QImage plain = icon.pixmap(QSize(16, 16), 1.0).toImage();
        EXPECT_EQ(plain.size(), QSize(16, 16));
        for (qreal ratio : {1.5, 2.0}) {
            const QImage dense = icon.pixmap(QSize(16, 16), ratio).toImage();
            const int side = qRound(16 * ratio);
            ASSERT_EQ(dense.size(), QSize(side, side)) << int(image) << " at " << ratio;
            // The same picture in the same place: where the plain image is
            // opaque, the dense one is too, nearly everywhere...
            int agree = 0, opaque = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    if (qAlpha(plain.pixel(x, y)) == 255) {
                        ++opaque;
                        agree += qAlpha(dense.pixel(int((x + 0.5) * ratio), int((y + 0.5) * ratio))) > 128;
                    }
            EXPECT_GT(opaque, 10);
            EXPECT_GE(agree * 10, opaque * 9) << int(image) << " at " << ratio;
            // ...but drawn anew, not the plain one enlarged.
            EXPECT_NE(dense, plain.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation))
                << int(image) << " at " << ratio;
        }
    }
}
