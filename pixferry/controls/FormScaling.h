// Forms are laid out for 96 pixels per inch; on a screen whose logical
// density differs, they are scaled as a whole.
#pragma once

class QWidget;

namespace skin {

inline constexpr int DesignDpi = 96;

// Scales the form's size and every descendant's position, size and pixel
// font size by screenDpi / designDpi (rounded to whole pixels). Nothing
// happens when the two are equal.
void ScaleForm(QWidget* form, int screenDpi, int designDpi = DesignDpi);

// The position, size and pixel scale of one control made after its form was
// scaled; its font, taken from the scaled form, is left as it is.
void ScaleControl(QWidget* control, int screenDpi, int designDpi = DesignDpi);

// The logical density of the screen the widget is on (96 when there is none).
int ScreenDpi(const QWidget* widget);

}  // namespace skin
