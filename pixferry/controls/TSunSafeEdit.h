// A one-line edit with a 1-pixel border in its border colour. Typed ' becomes
// ", [ becomes ( and ] becomes ), so that what is typed can sit in a quoted,
// bracketed text.
#pragma once

#include <QColor>
#include <QLineEdit>

class TSunSafeEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit TSunSafeEdit(QWidget* parent);

    void SetColors(const QColor& back, const QColor& border, const QColor& text, const QColor& disabled);

    // The character typed in place of `c`.
    static QChar Substitute(QChar c);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    QColor border_ = QColor(141, 141, 141);
};
