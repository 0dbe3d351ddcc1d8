#pragma once

#include <QPixmap>
#include <QWidget>

namespace dw {

// A panel that paints the main window's background: a tiled picture on screens of
// 15 bits per pixel or more, and a vertical gradient from blue (top) to black
// (bottom) on screens with fewer colours, where the picture would dither badly.
class Backdrop : public QWidget {
    Q_OBJECT
public:
    enum class Mode { TiledPicture, Gradient };

    explicit Backdrop(QWidget* parent = nullptr);

    // Chooses the mode for a screen of `bitsPerPixel` (bits per pixel times colour
    // planes, as QScreen::depth() reports it): below 15 the gradient, else the picture.
    void applyColourDepth(int bitsPerPixel);
    Mode mode() const { return mode_; }

    // The tile the picture is made of; drawn by the program, not loaded from a file.
    static QPixmap makeTile();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Mode mode_ = Mode::TiledPicture;
    QPixmap tile_;
};

}  // namespace dw
