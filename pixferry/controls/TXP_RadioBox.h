// A radio box drawn from "XPRADIOBOX" (six frames of 13 by 13: unchecked,
// checked, disabled unchecked, disabled checked, mouse over unchecked, mouse
// over checked; magenta is transparent), its caption 4 pixels to the right.
// Checking it, by mouse or in code, unchecks the radio boxes of the same
// group index in the same parent and fires its click.
#pragma once

#include <functional>

#include <QColor>
#include <QPixmap>
#include <QWidget>

class TXP_RadioBox : public QWidget {
    Q_OBJECT

public:
    explicit TXP_RadioBox(QWidget* parent);

    void setText(const QString& text);
    QString text() const { return text_; }
    void setChecked(bool checked);
    bool isChecked() const { return checked_; }
    int GroupIndex = 0;
    QColor Color = QColor(219, 219, 229);
    std::function<void()> OnClick;

    int CurrentFrame() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    QString text_;
    QPixmap strip_;
    bool checked_ = false;
    bool over_ = false;
    bool pressed_ = false;
};
