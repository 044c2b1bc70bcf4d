// A skinned panel: its painting colour, a background picture drawn over it
// at the given opacity, an optional bevel and a centred caption.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

class TsPanel : public QWidget {
    Q_OBJECT

public:
    explicit TsPanel(QWidget* parent);

    void setText(const QString& text);
    QString text() const { return text_; }

    QString SkinSection = QStringLiteral("TsPanel");
    QColor PaintingColor = QColor(41, 43, 55);
    QColor CaptionColor = Qt::black;
    QPixmap Background;
    int BackgroundPercent = 100;
    bool Bevel = false;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString text_;
};
