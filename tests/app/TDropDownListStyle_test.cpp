// The owner-name match box as the window shows it: at its designed size, with the window's font
// (Tahoma 8 points at 96 dpi), every item is readable in full.

#include "QtPrinters.h"
#include "TApplication.h"
#include "TForm1.h"

#include <QComboBox>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The style option the box paints itself with.
QStyleOptionComboBox PaintOption(const QComboBox* box)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    option.frame = box->hasFrame();
    option.currentText = box->currentText();
    option.subControls = QStyle::SC_All;
    return option;
}

// The first and last columns of the image's rectangle that hold a dark (text) pixel.
std::pair<int, int> InkColumns(const QImage& image, const QRect& area)
{
    int first = -1, last = -1;
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y = area.top(); y <= area.bottom(); ++y)
            if (qGray(image.pixel(x, y)) < 128) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

// How many columns the text's ink spans when drawn alone, black on white, with nothing to clip it.
int InkWidthAlone(const QString& text, const QFont& font)
{
    QImage image(400, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(10, 0, 380, 40), Qt::AlignLeft | Qt::AlignVCenter, text);
    painter.end();
    const auto [first, last] = InkColumns(image, image.rect());
    return last - first + 1;
}

TEST(MatchStyleBox, EveryItemIsReadableInFullAtTheDesignedWidth)
{
    QTemporaryDir dir; // no directory file: the window opens all the same, the error reported
    QStringList errors;
    SetErrorSink([&](QWidget*, const QString& text) { errors << text; });
    TForm1 form(TProgramFiles::FromExecutable(dir.filePath("phonebook")));
    SetErrorSink(nullptr);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QComboBox* box = form.fio_style;
    ASSERT_EQ(box->size(), QSize(97, 21));
    ASSERT_EQ(QFontInfo(box->font()).family(), "Tahoma") << "the window's font is missing (Debian package fonts-wine)";
    ASSERT_EQ(box->count(), 3);

    const QFontMetrics metrics(box->font());
    for (int i = 0; i < box->count(); ++i) {
        const QString text = box->itemText(i);
        SCOPED_TRACE(text.toStdString());
        box->setCurrentIndex(i);
        const QStyleOptionComboBox option = PaintOption(box);
        const QStyle* style = box->style();
        const QRect field = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
        const QRect arrow = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, box);
        EXPECT_GE(field.width(), metrics.horizontalAdvance(text));
        EXPECT_TRUE(box->rect().contains(field)) << ::testing::PrintToString(field);
        EXPECT_TRUE(box->rect().contains(arrow)) << ::testing::PrintToString(arrow);
        EXPECT_LT(field.right(), arrow.left());

        // The box as painted shows as much ink as the text drawn alone: no letter is cut off.
        const QImage image = box->grab().toImage();
        const auto [first, last] = InkColumns(image, field);
        EXPECT_GE(last - first + 1, InkWidthAlone(text, box->font())) << "ink from " << first << " to " << last;
    }
    EXPECT_EQ(errors.size(), 1);
}

} // namespace
