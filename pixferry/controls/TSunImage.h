// A picture: shown as it is or stretched, with a red frame when selected.
// Mouse events go on to the parent.
#pragma once

#include <QPixmap>
#include <QWidget>

class TSunImage : public QWidget {
    Q_OBJECT

public:
    explicit TSunImage(QWidget* parent);

    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const { return picture_; }
    void SetStretch(bool stretch);
    bool Stretch() const { return stretch_; }
    void SetSelected(bool selected);
    bool Selected() const { return selected_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPixmap picture_;
    bool stretch_ = false;
    bool selected_ = false;
};
