#pragma once
// The gtest fixture of the control tests: one window of controls built from
// a declaration table, shown and active (focus moves only within the active
// window), released at the end of the test.
#include "app/forms.h"
#include "app/settings.h"
#include "support/testing.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace cn::testing {

class FormTest : public ::testing::Test {
protected:
    // Builds the window `name` of that size with the controls and shows it.
    void open(const QString& name, int width, int height, const QList<ControlDecl>& controls)
    {
        app();
        resetSettings();
        f_ = new Form(name);
        f_->place(0, 0, width, height);
        f_->build(controls);
        f_->activate();
        ASSERT_TRUE(showActive(f_));
    }
    void TearDown() override
    {
        releaseAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        resetSettings();
    }
    template <class T>
    T* get(const char* name) const { return f_->control<T>(QLatin1String(name)); }
    Form* f_ = nullptr;
};

} // namespace cn::testing
