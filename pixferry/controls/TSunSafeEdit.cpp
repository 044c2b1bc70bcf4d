#include "TSunSafeEdit.h"

#include <QKeyEvent>
#include <QPainter>

TSunSafeEdit::TSunSafeEdit(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    setTextMargins(2, 0, 2, 0);
}

void TSunSafeEdit::SetColors(const QColor& back, const QColor& border, const QColor& text, const QColor& disabled) {
    border_ = border;
    QPalette pal = palette();
    pal.setColor(QPalette::Base, back);
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::Disabled, QPalette::Base, disabled);
    setPalette(pal);
}

QChar TSunSafeEdit::Substitute(QChar c) {
    switch (c.unicode()) {
        case '\'': return QLatin1Char('"');
        case '[': return QLatin1Char('(');
        case ']': return QLatin1Char(')');
        default: return c;
    }
}

void TSunSafeEdit::keyPressEvent(QKeyEvent* e) {
    QString typed = e->text();
    bool changed = false;
    for (QChar& c : typed) {
        const QChar s = Substitute(c);
        changed |= s != c;
        c = s;
    }
    if (!changed) return QLineEdit::keyPressEvent(e);
    QKeyEvent replaced(e->type(), typed.size() == 1 ? typed.at(0).unicode() : e->key(), e->modifiers(), typed,
                       e->isAutoRepeat(), static_cast<ushort>(e->count()));
    QLineEdit::keyPressEvent(&replaced);
    e->setAccepted(replaced.isAccepted());
}

void TSunSafeEdit::paintEvent(QPaintEvent* e) {
    QPainter back(this);
    back.fillRect(rect(), palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Base));
    back.end();
    QLineEdit::paintEvent(e);
    QPainter p(this);
    p.setPen(border_);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
