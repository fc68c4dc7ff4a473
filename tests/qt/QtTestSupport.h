#pragma once
// Helpers for driving real widgets in tests.

#include <QString>
#include <QWidget>
#include <functional>
#include <string>

namespace varnel::test {

// Spins the event loop until the condition holds or the time is up.
bool RunUntil(const std::function<bool()>& condition, int timeoutMs = 60000);

// Plays the user at the next modal window: once one of type T is on top, the
// action runs with it (from a timer, inside the modal's own event loop).
// Fails the test if none appears in time.
void WhenModal(const std::function<void(QWidget*)>& action, int timeoutMs = 60000);

// A file in <build>/screenshots (created), with the scale factor in the name
// when not 1.
QString ScreenshotPath(const std::string& name);
// Saves the widget's look there; returns the path.
QString SaveScreenshot(QWidget& widget, const std::string& name);

}  // namespace varnel::test
