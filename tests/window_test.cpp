// The window service through its interfaces alone: anchors, tab order, Esc, key handler.
#include <gtest/gtest.h>

#include "platform/window/driver.h"
#include "platform/window/window.h"

namespace {

using platform::Bounds;
using platform::ControlKind;

constexpr int L = platform::AnchorLeft, T = platform::AnchorTop, R = platform::AnchorRight, B = platform::AnchorBottom;

std::unique_ptr<platform::Window> SmallWindow() {
    return platform::MakeWindow({"small", 300, 200, 308, 234, {"MS Sans Serif", 11}});
}

platform::Edit& AddEdit(platform::Window& window, const char* name, Bounds place, int anchors = L | T) {
    return dynamic_cast<platform::Edit&>(window.Add({name, ControlKind::Edit, place, anchors}));
}

TEST(Window, FirstShownCentredOnTheScreenNeverOffIt) {
    struct Case {
        int screenWidth, screenHeight, left, top;
    } cases[] = {{1600, 1000, 292, 262}, {1024, 768, 4, 146}, {1015, 476, 0, 0}, {800, 400, 0, 0}, {1601, 1001, 293, 262}};
    for (const Case& c : cases) {
        const platform::Bounds place = platform::CentredOnScreen(c.screenWidth, c.screenHeight, 1015, 476);
        EXPECT_EQ(place.Left, c.left) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(place.Top, c.top) << c.screenWidth << "x" << c.screenHeight;
    }
}

TEST(Window, RadioItemsStandInColumnsInsideTheirFrame) {
    platform::ControlEntry group{"Radios", platform::ControlKind::RadioGroup, {376, 0, 505, 33}};
    group.Columns = 6;
    struct Case {
        int index;
        platform::Bounds place;
    } cases[] = {{0, {6, 14, 82, 17}}, {5, {416, 14, 82, 17}}, {6, {6, 31, 82, 17}}};
    for (const Case& c : cases) EXPECT_TRUE(platform::RadioItemPlace(group, c.index) == c.place) << c.index;
    group.Columns = 0;  // taken as one column
    EXPECT_TRUE(platform::RadioItemPlace(group, 1) == (platform::Bounds{6, 31, 497, 17}));
}

TEST(Window, EachControlFollowsItsAnchorsOnResize) {
    auto window = SmallWindow();
    struct Case {
        int anchors;
        Bounds after;  // the client area grown by 40 x 30
    } cases[] = {
        {L | T, {10, 20, 50, 21}},      {T | R, {50, 20, 50, 21}},  {L | T | R, {10, 20, 90, 21}},
        {L | B, {10, 50, 50, 21}},      {L | T | B, {10, 20, 50, 51}}, {L | T | R | B, {10, 20, 90, 51}},
        {R | B, {50, 50, 50, 21}},
    };
    std::vector<platform::Control*> controls;
    for (const Case& c : cases) controls.push_back(&AddEdit(*window, "edit", {10, 20, 50, 21}, c.anchors));
    window->Show();
    window->ResizeClient(340, 230);
    for (size_t i = 0; i < controls.size(); ++i) EXPECT_TRUE(controls[i]->Place() == cases[i].after) << "anchors " << cases[i].anchors;
    window->ResizeClient(300, 200);
    for (platform::Control* control : controls) EXPECT_TRUE(control->Place() == (Bounds{10, 20, 50, 21})) << "back where it was";
}

TEST(Window, TabWalksTheGivenOrderNotTheOrderOfCreation) {
    auto window = SmallWindow();
    platform::Edit& first = AddEdit(*window, "first", {10, 10, 50, 21});
    platform::Edit& second = AddEdit(*window, "second", {10, 40, 50, 21});
    platform::Edit& third = AddEdit(*window, "third", {10, 70, 50, 21});
    window->SetTabOrder({&first, &third, &second});
    ASSERT_TRUE(platform::ShowAndActivate(*window));
    first.SetFocus();
    platform::PressKey(first, platform::Key::Tab);
    EXPECT_TRUE(third.Focused());
    platform::PressKey(third, platform::Key::Tab);
    EXPECT_TRUE(second.Focused());
    platform::PressKey(second, platform::Key::Tab, platform::ShiftModifier);
    EXPECT_TRUE(third.Focused());
}

TEST(Window, EscClicksTheCancelButtonAndAKeyHandlerMaySwallowAKey) {
    auto window = SmallWindow();
    platform::Edit& edit = AddEdit(*window, "edit", {10, 10, 50, 21});
    auto& cancel = dynamic_cast<platform::Button&>(window->Add({"cancel", ControlKind::Button, {10, 40, 80, 21}, L | T, -1, "Cancel"}));
    int clicks = 0, enters = 0;
    cancel.SetOnClick([&] { ++clicks; });
    window->SetCancelButton(cancel);
    edit.SetOnKeyPress([&](char& key) {
        if (key == '\r') ++enters, key = 0;
    });
    ASSERT_TRUE(platform::ShowAndActivate(*window));
    edit.SetFocus();
    platform::PressKey(edit, platform::Key::Escape);
    EXPECT_EQ(clicks, 1);
    platform::PressKey(edit, platform::Key::Escape, platform::ShiftModifier);
    EXPECT_EQ(clicks, 1) << "not with Shift held";
    platform::PressKey(edit, platform::Key::Enter);
    platform::PressKey(edit, platform::Key::KeypadEnter);
    EXPECT_EQ(enters, 2) << "both Enter keys are 13";
    cancel.SetOnClick([&] { clicks += 10; });
    cancel.Click();
    EXPECT_EQ(clicks, 11) << "the click handler is replaced";
}

}  // namespace
