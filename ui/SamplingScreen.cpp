#include "SamplingScreen.h"

#include <QGroupBox>

namespace kt::ui {

void SamplingScreen::SetSettingsLocked(bool locked) {
    for (const char* name : {"GroupBox6", "GroupBox7", "GroupBox8", "GroupBox9", "GroupBox18"}) {
        if (auto* box = window_.findChild<QGroupBox*>(QString::fromLatin1(name))) {
            box->setEnabled(!locked);
        }
    }
}

}  // namespace kt::ui
