// The skinned controls on their own: frame cutting, the button state machine,
// glyphs, radio groups, the edit's substitutions, scrolling and scaling.
#include <functional>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "controls/FormScaling.h"
#include "controls/SkinArt.h"
#include "controls/TButton2.h"
#include "controls/TDaxButton.h"
#include "controls/TDaxButtonSmall.h"
#include "controls/TSunImage.h"
#include "controls/TSunListBox.h"
#include "controls/TSunPopupMenu.h"
#include "controls/TSunSafeEdit.h"
#include "controls/TSunScrollBox.h"
#include "controls/TXP_ButtonSmall.h"
#include "controls/TXP_RadioBox.h"

namespace {

// A strip of two 5 by 5 frames whose every pixel tells where it came from:
// red = column * 40, green = row * 40, blue = 200 in frame 1.
QPixmap CoordinateStrip() {
    QImage img(10, 5, QImage::Format_RGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 10; ++x) img.setPixel(x, y, qRgb((x % 5) * 40, y * 40, x >= 5 ? 200 : 0));
    return QPixmap::fromImage(img);
}

TEST(SkinArt, NineSliceKeepsHalvesAndStretchesTheCentre) {
    // For each target size, which source column (row) each target column (row) shows.
    struct Case {
        int w, h;
        std::vector<int> cols, rows;
    } cases[] = {
        {9, 7, {0, 1, 2, 2, 2, 2, 2, 3, 4}, {0, 1, 2, 2, 2, 3, 4}},
        {5, 5, {0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}},
        {4, 6, {0, 1, 3, 4}, {0, 1, 2, 2, 3, 4}},  // narrower than the frame: the centre goes
        {3, 3, {0, 3, 4}, {0, 3, 4}},
    };
    const QPixmap strip = CoordinateStrip();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        QImage target(c.w + 2, c.h + 2, QImage::Format_RGB32);
        target.fill(Qt::white);
        {
            QPainter p(&target);
            skin::DrawNineSlice(p, strip, 1, 5, QRect(1, 1, c.w, c.h));
        }
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                ASSERT_EQ(target.pixel(x + 1, y + 1), qRgb(c.cols[x] * 40, c.rows[y] * 40, 200)) << x << "," << y;
        EXPECT_EQ(target.pixel(0, 0), qRgb(255, 255, 255));  // nothing outside the target
        EXPECT_EQ(target.pixel(c.w + 1, c.h + 1), qRgb(255, 255, 255));
    }
}

TEST(SkinArt, BitmapsHaveTheirFrameLayouts) {
    const std::pair<const char*, QSize> bitmaps[] = {
        {"DAXBUTTON", {80, 29}}, {"DAXBUTTONSMALL", {125, 22}}, {"XPBUTTONSMALL", {80, 19}},
        {"XPRADIOBOX", {78, 13}}, {"BUTTON2", {32, 24}},
    };
    for (auto [name, size] : bitmaps) {
        SCOPED_TRACE(name);
        EXPECT_EQ(skin::Bitmap(name).size(), size);
    }
    EXPECT_TRUE(skin::Bitmap("NO_SUCH_BITMAP").isNull());
}

QMouseEvent Mouse(QEvent::Type type, QWidget* w, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    return QMouseEvent(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
}

void Send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e = Mouse(type, w, at, button, held);
    QApplication::sendEvent(w, &e);
}

struct Step {
    const char* what;
    std::function<void(TSkinButton*)> act;
    TSkinButton::Look look;
};

const QPoint kInside(5, 5), kOutside(200, 5);

const Step kPressLeft{"press left", [](TSkinButton* b) { Send(b, QEvent::MouseButtonPress, kInside, Qt::LeftButton, Qt::LeftButton); }, TSkinButton::Pressed};
const Step kReleaseInside{"release inside", [](TSkinButton* b) { Send(b, QEvent::MouseButtonRelease, kInside, Qt::LeftButton, Qt::NoButton); }, TSkinButton::Normal};
const Step kMoveOut{"move out", [](TSkinButton* b) { Send(b, QEvent::MouseMove, kOutside, Qt::NoButton, Qt::LeftButton); }, TSkinButton::Normal};
const Step kMoveIn{"move in", [](TSkinButton* b) { Send(b, QEvent::MouseMove, kInside, Qt::NoButton, Qt::LeftButton); }, TSkinButton::Pressed};
const Step kReleaseOutside{"release outside", [](TSkinButton* b) { Send(b, QEvent::MouseButtonRelease, kOutside, Qt::LeftButton, Qt::NoButton); }, TSkinButton::Normal};

Step Key(const char* what, QEvent::Type type, int key, TSkinButton::Look look) {
    return {what, [type, key](TSkinButton* b) {
                QKeyEvent e(type, key, Qt::NoModifier, key == Qt::Key_Space ? QStringLiteral(" ") : QString());
                QApplication::sendEvent(b, &e);
            },
            look};
}

TEST(SkinButtons, PressedWhileHeldClickedOnReleaseOverTheButton) {
    struct Script {
        const char* name;
        std::vector<Step> steps;
        int clicks;
    } scripts[] = {
        {"mouse click", {kPressLeft, kReleaseInside}, 1},
        {"released outside", {kPressLeft, kMoveOut, kReleaseOutside}, 0},
        {"out and back in", {kPressLeft, kMoveOut, kMoveIn, kReleaseInside}, 1},
        {"right button",
         {{"press right", [](TSkinButton* b) { Send(b, QEvent::MouseButtonPress, kInside, Qt::RightButton, Qt::RightButton); }, TSkinButton::Normal},
          {"release right", [](TSkinButton* b) { Send(b, QEvent::MouseButtonRelease, kInside, Qt::RightButton, Qt::NoButton); }, TSkinButton::Normal}},
         0},
        {"space", {Key("space down", QEvent::KeyPress, Qt::Key_Space, TSkinButton::Pressed), Key("space up", QEvent::KeyRelease, Qt::Key_Space, TSkinButton::Normal)}, 1},
        {"enter", {Key("enter down", QEvent::KeyPress, Qt::Key_Return, TSkinButton::Pressed), Key("enter up", QEvent::KeyRelease, Qt::Key_Return, TSkinButton::Normal)}, 1},
        {"keypad enter", {Key("down", QEvent::KeyPress, Qt::Key_Enter, TSkinButton::Pressed), Key("up", QEvent::KeyRelease, Qt::Key_Enter, TSkinButton::Normal)}, 1},
        {"other key", {Key("a down", QEvent::KeyPress, Qt::Key_A, TSkinButton::Normal), Key("a up", QEvent::KeyRelease, Qt::Key_A, TSkinButton::Normal)}, 0},
    };
    const std::pair<const char*, std::function<TSkinButton*(QWidget*)>> kinds[] = {
        {"TDaxButton", [](QWidget* p) { return new TDaxButton(p); }},
        {"TDaxButtonSmall", [](QWidget* p) { return new TDaxButtonSmall(p); }},
        {"TXP_ButtonSmall", [](QWidget* p) { return new TXP_ButtonSmall(p); }},
        {"TButton2", [](QWidget* p) { return new TButton2(p); }},
    };
    for (const auto& [kind, make] : kinds)
        for (const Script& script : scripts) {
            SCOPED_TRACE(std::string(kind) + ": " + script.name);
            QWidget parent;
            parent.resize(300, 100);
            TSkinButton* button = make(&parent);
            button->setGeometry(10, 10, 60, 24);
            parent.show();
            ASSERT_EQ(button->CurrentLook(), TSkinButton::Normal);
            int clicks = 0;
            QObject::connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
            for (const Step& step : script.steps) {
                SCOPED_TRACE(step.what);
                step.act(button);
                EXPECT_EQ(button->CurrentLook(), step.look);
            }
            EXPECT_EQ(clicks, script.clicks);
        }
}

TEST(SkinButtons, HoverDisabledAndNormalLooks) {
    QWidget parent;
    auto* button = new TDaxButton(&parent);
    auto* other = new TDaxButton(&parent);
    parent.resize(200, 200);
    button->setGeometry(50, 50, 60, 24);  // away from where the pointer starts
    other->setGeometry(50, 100, 60, 24);
    parent.show();
    parent.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&parent));
    other->setFocus();
    EXPECT_EQ(button->CurrentLook(), TSkinButton::Normal);
    button->setFocus();
    EXPECT_EQ(button->CurrentLook(), TSkinButton::Focused);
    other->setFocus();
    EXPECT_EQ(button->CurrentLook(), TSkinButton::Normal);
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), button->mapToGlobal(QPointF(3, 3)));
    QApplication::sendEvent(button, &enter);
    EXPECT_EQ(button->CurrentLook(), TSkinButton::MouseOver);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_EQ(button->CurrentLook(), TSkinButton::Normal);

    int clicks = 0;
    QObject::connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
    button->setEnabled(false);
    EXPECT_EQ(button->CurrentLook(), TSkinButton::Disabled);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(clicks, 0);
}

int CountPixels(const QImage& img, const std::function<bool(QColor)>& match) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += match(img.pixelColor(x, y));
    return n;
}

TEST(SkinButtons, CaptionGreyAndGlyphGreyedWhenDisabled) {
    const QColor yellow(245, 255, 91);
    auto isYellow = [&](QColor c) { return c == yellow; };
    auto isGrey = [](QColor c) { return c == QColor(128, 128, 128); };
    TDaxButton button(nullptr);
    button.resize(80, 29);
    button.setText(QStringLiteral("WWW"));
    QFont big = button.font();
    big.setPixelSize(24);
    big.setBold(true);
    button.setFont(big);
    button.CaptionColor = yellow;
    EXPECT_GT(CountPixels(button.grab().toImage(), isYellow), 10);
    button.setEnabled(false);
    const QImage disabled = button.grab().toImage();
    EXPECT_EQ(CountPixels(disabled, isYellow), 0);
    EXPECT_GT(CountPixels(disabled, isGrey), 10);

    // A glyph: pure green on red; red is the transparent colour.
    QImage glyph(8, 8, QImage::Format_RGB32);
    glyph.fill(Qt::red);
    for (int y = 2; y < 6; ++y)
        for (int x = 2; x < 6; ++x) glyph.setPixel(x, y, qRgb(0, 255, 0));
    auto isRed = [](QColor c) { return c == QColor(Qt::red); };
    auto isGreen = [](QColor c) { return c == QColor(0, 255, 0); };
    struct Case {
        bool trans, enabled;
        bool red, green;
    } cases[] = {{true, true, false, true}, {false, true, true, true}, {true, false, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.trans) + std::to_string(c.enabled));
        TDaxButtonSmall small(nullptr);
        small.resize(18, 18);
        small.SetGlyph(QPixmap::fromImage(glyph));
        small.PicTrans = c.trans;
        small.PicTransColor = Qt::red;
        small.setEnabled(c.enabled);
        const QImage shot = small.grab().toImage();
        EXPECT_EQ(CountPixels(shot, isRed) > 0, c.red);
        EXPECT_EQ(CountPixels(shot, isGreen) == 16, c.green);
        // The glyph sits in the middle whatever its look.
        EXPECT_NE(shot.pixelColor(8, 8), shot.pixelColor(1, 9));
    }
}

TEST(SkinButtons, Button2SizesItselfToItsCaption) {
    QWidget panel;
    panel.resize(393, 137);
    TButton2 button(&panel);
    button.setGeometry(0, 106, 50, 24);
    button.SetCaption(QStringLiteral("Remind Me Later"));
    const int w = QFontMetrics(button.font()).horizontalAdvance(QStringLiteral("Remind Me Later")) + 10;
    EXPECT_EQ(button.geometry(), QRect(393 - 10 - w, 106, w, 24));
}

TEST(RadioBox, CheckingOneUnchecksItsGroupAndFiresItsClick) {
    QWidget parent, otherParent;
    std::vector<TXP_RadioBox*> r;
    std::vector<int> clicks(5);
    for (int i = 0; i < 5; ++i) {
        r.push_back(new TXP_RadioBox(i < 4 ? &parent : &otherParent));
        r[i]->setGeometry(0, i * 20, 80, 17);
        r[i]->GroupIndex = i == 3 ? 1 : 0;
        r[i]->OnClick = [&clicks, i] { ++clicks[i]; };
    }
    auto checked = [&] {
        std::vector<bool> v;
        for (auto* b : r) v.push_back(b->isChecked());
        return v;
    };
    // Other controls beside them are left alone.
    auto* button = new TDaxButton(&parent);
    button->setGeometry(0, 100, 50, 20);
    parent.show();
    r[0]->setChecked(true);
    r[3]->setChecked(true);
    r[4]->setChecked(true);
    EXPECT_EQ(checked(), (std::vector<bool>{true, false, false, true, true}));
    EXPECT_EQ(clicks, (std::vector<int>{1, 0, 0, 1, 1}));

    QTest::mouseClick(r[1], Qt::LeftButton, {}, QPoint(5, 8));  // by mouse
    EXPECT_EQ(checked(), (std::vector<bool>{false, true, false, true, true}));
    EXPECT_EQ(clicks, (std::vector<int>{1, 1, 0, 1, 1}));

    r[2]->setChecked(true);  // in code
    EXPECT_EQ(checked(), (std::vector<bool>{false, false, true, true, true}));
    EXPECT_EQ(clicks, (std::vector<int>{1, 1, 1, 1, 1}));

    r[2]->setChecked(true);  // already checked: nothing happens
    QTest::mouseClick(r[2], Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_EQ(clicks, (std::vector<int>{1, 1, 1, 1, 1}));

    // Pressed on it, let go elsewhere: no choice made.
    Send(r[0], QEvent::MouseButtonPress, QPoint(5, 8), Qt::LeftButton, Qt::LeftButton);
    Send(r[0], QEvent::MouseButtonRelease, QPoint(5, 300), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(r[0]->isChecked());

    EXPECT_EQ(r[2]->CurrentFrame(), 1);
    r[2]->setEnabled(false);
    EXPECT_EQ(r[2]->CurrentFrame(), 3);
    EXPECT_EQ(r[0]->CurrentFrame(), 0);
}

TEST(SunImage, SelectedFrameAndMousePassedOn) {
    QImage pic(20, 20, QImage::Format_RGB32);
    pic.fill(Qt::blue);
    TSunImage image(nullptr);
    image.resize(20, 20);
    image.SetPicture(QPixmap::fromImage(pic));
    image.SetSelected(true);
    const QImage shot = image.grab().toImage();
    for (QPoint red : {QPoint(0, 0), QPoint(1, 1), QPoint(19, 19), QPoint(18, 10), QPoint(10, 1)})
        EXPECT_EQ(shot.pixelColor(red), QColor(Qt::red)) << red.x() << "," << red.y();
    for (QPoint blue : {QPoint(2, 2), QPoint(17, 17), QPoint(10, 10)})
        EXPECT_EQ(shot.pixelColor(blue), QColor(Qt::blue)) << blue.x() << "," << blue.y();
    image.SetSelected(false);
    EXPECT_EQ(image.grab().toImage().pixelColor(0, 0), QColor(Qt::blue));

    // Stretched or not.
    TSunImage small(nullptr);
    small.resize(40, 10);
    small.SetPicture(QPixmap::fromImage(pic.copy(0, 0, 4, 4)));
    EXPECT_NE(small.grab().toImage().pixelColor(30, 5), QColor(Qt::blue));
    small.SetStretch(true);
    EXPECT_EQ(small.grab().toImage().pixelColor(30, 5), QColor(Qt::blue));

    // A press on the picture reaches the widget it lies on.
    struct Parent : QWidget {
        int presses = 0;
        void mousePressEvent(QMouseEvent*) override { ++presses; }
    } parent;
    auto* cell = new TSunImage(&parent);
    cell->setGeometry(5, 5, 20, 20);
    parent.show();
    QTest::mousePress(cell, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(parent.presses, 1);
}

TEST(SafeEdit, TypedQuoteAndBracketsAreReplaced) {
    const std::pair<const char*, const char*> cases[] = {
        {"'", "\""}, {"[", "("}, {"]", ")"}, {"a'b[c]d", "a\"b(c)d"}, {"C:/Photos (2)/", "C:/Photos (2)/"},
    };
    for (auto [typed, shown] : cases) {
        SCOPED_TRACE(typed);
        TSunSafeEdit edit(nullptr);
        edit.show();
        QTest::keyClicks(&edit, QString::fromLatin1(typed));
        EXPECT_EQ(edit.text().toStdString(), shown);
    }
    // Text put in by the program stays as it is.
    TSunSafeEdit edit(nullptr);
    edit.setText(QStringLiteral("it's [here]"));
    EXPECT_EQ(edit.text().toStdString(), "it's [here]");
}

TEST(SunScrollBox, VerticalScrollReportsThePosition) {
    TSunScrollBox box(nullptr);
    box.resize(200, 100);
    box.Content()->resize(180, 1000);
    std::vector<int> positions;
    box.OnVScroll = [&](int p) { positions.push_back(p); };
    box.show();
    box.verticalScrollBar()->setValue(120);
    box.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    box.verticalScrollBar()->setSliderPosition(300);  // a thumb drag, tracked
    EXPECT_EQ(positions, (std::vector<int>{120, 128, 300}));
    EXPECT_EQ(box.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(SunListBox, ItemHeightClickAndWheel) {
    TSunListBox list(nullptr);
    list.resize(177, 114);
    for (int i = 0; i < 30; ++i) list.addItem(QStringLiteral("Album %1").arg(i));
    list.SetItemHeight(16);
    int clicks = 0;
    list.OnClick = [&] { ++clicks; };
    list.show();
    EXPECT_EQ(list.visualItemRect(list.item(0)).height(), 16);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(2)).center());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(list.currentRow(), 2);

    const std::pair<int, int> wheel[] = {{-120, 1}, {-240, 3}, {120, 2}, {360, 0}};
    for (auto [delta, top] : wheel) {
        SCOPED_TRACE(delta);
        QWheelEvent e(QPointF(20, 20), list.mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(list.viewport(), &e);
        EXPECT_EQ(list.verticalScrollBar()->value(), top);
    }
}

TEST(SunPopupMenu, ColumnsTriggersAndDisabledItems) {
    QWidget owner;
    TSunPopupMenu menu(&owner);
    QAction* a = menu.AddItem("a");
    QAction* b = menu.AddItem("b", false);
    QAction* c = menu.AddItem("c", true, true);
    a->setText(QStringLiteral("First"));
    b->setText(QStringLiteral("Second"));
    c->setText(QStringLiteral("Third"));
    int fired = 0;
    for (QAction* item : {a, b, c}) QObject::connect(item, &QAction::triggered, [&] { ++fired; });
    menu.popup(QPoint(40, 60));
    EXPECT_TRUE(menu.isVisible());
    EXPECT_EQ(menu.pos(), QPoint(40, 60));
    EXPECT_EQ(menu.ColumnOf(a), 0);
    EXPECT_EQ(menu.ColumnOf(b), 0);
    EXPECT_EQ(menu.ColumnOf(c), 1);
    EXPECT_EQ(menu.ItemRect(c).top(), menu.ItemRect(a).top());
    EXPECT_GT(menu.ItemRect(c).left(), menu.ItemRect(b).right());

    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.ItemRect(b).center());
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(menu.isVisible());
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.ItemRect(c).center());
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(menu.isVisible());

    // Keyboard: Down skips the disabled item.
    menu.popup(QPoint(0, 0));
    QTest::keyClick(&menu, Qt::Key_Down);
    QTest::keyClick(&menu, Qt::Key_Down);
    QTest::keyClick(&menu, Qt::Key_Return);
    EXPECT_EQ(fired, 2);
}

TEST(FormScaling, EverythingScalesWithTheScreenDensity) {
    QWidget form;
    form.setFixedSize(706, 475);
    auto* child = new QWidget(&form);
    child->setGeometry(10, 20, 30, 40);
    QFont f;
    f.setPixelSize(11);
    child->setFont(f);
    auto* grandchild = new QWidget(child);
    grandchild->setGeometry(1, 3, 5, 7);

    skin::ScaleForm(&form, 96);
    EXPECT_EQ(child->geometry(), QRect(10, 20, 30, 40));
    skin::ScaleForm(&form, 144);
    EXPECT_EQ(form.size(), QSize(1059, 713));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(child->geometry(), QRect(15, 30, 45, 60));
    EXPECT_EQ(grandchild->geometry(), QRect(2, 5, 8, 11));
    EXPECT_EQ(child->font().pixelSize(), 17);
}

}  // namespace
