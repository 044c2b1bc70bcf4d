// A framed group: a rounded border and a caption cut into its top edge, in
// the colours given. Mouse events stop here (a group is not a drag surface).
#pragma once

#include <QColor>
#include <QWidget>

class TXP_GroupBox : public QWidget {
    Q_OBJECT

public:
    explicit TXP_GroupBox(QWidget* parent);

    void setTitle(const QString& title);
    QString title() const { return title_; }
    QColor BorderColor = QColor(128, 128, 128);
    QColor CaptionColor = QColor(128, 128, 128);
    QColor Color = QColor(219, 219, 229);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QString title_;
};
