// The drivers' way to a control of the main window by its object name: a missing one
// ends the driver with a message naming it.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "Main.h"

namespace kt::test {

template <class T>
T* FindControl(const char* program, const char* name) {
    T* widget = kt::ui::Form1->findChild<T*>(QString::fromLatin1(name));
    if (widget == nullptr) {
        std::fprintf(stderr, "%s: no control %s\n", program, name);
        std::exit(1);
    }
    return widget;
}

}  // namespace kt::test
