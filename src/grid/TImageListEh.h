#pragma once
// A list of equally sized images drawn with one colour transparent: the indicator glyphs, sort
// markers and the images of image columns.

#include "TColor.h"

#include <QImage>
#include <QPixmap>

#include <vector>

class QPainter;

class TImageListEh
{
public:
    TImageListEh(int width, int height) : fWidth(width), fHeight(height) {}

    int Width() const { return fWidth; }
    int Height() const { return fHeight; }
    int Count() const { return int(fImages.size()); }
    // Adds an image; pixels of the transparent colour are left out when drawing.
    int Add(const QImage& image, TColor transparent);
    const QPixmap& Image(int index) const { return fImages.at(std::size_t(index)); }
    void Draw(QPainter& painter, int x, int y, int index) const;

private:
    int fWidth;
    int fHeight;
    std::vector<QPixmap> fImages;
};
