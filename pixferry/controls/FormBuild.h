// Building a form's controls at their places, shared by the windows.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

#include "SkinArt.h"
#include "TSunImage.h"

template <class T>
T* Place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* w = new T(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(left, top, width, height);
    return w;
}

// A picture from the skin art, stretched to its size on request.
inline TSunImage* Picture(QWidget* parent, const char* name, QRect at, const char* bitmap, bool stretch = false) {
    auto* image = Place<TSunImage>(parent, name, at.x(), at.y(), at.width(), at.height());
    image->SetPicture(skin::Bitmap(bitmap));
    image->SetStretch(stretch);
    return image;
}
