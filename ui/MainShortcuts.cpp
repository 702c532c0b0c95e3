// The main window's keys. The two menu commands show theirs beside their captions; the
// buttons' keys work on every tab (they press the button, so a disabled one does
// nothing) and the buttons' tooltips name them. The help lists them all.
#include <QAbstractButton>
#include <QAction>
#include <functional>

#include "IndicatorTab.h"
#include "Main.h"
#include "RegistrationTab.h"
#include "ui_Main.h"

namespace kt::ui {

namespace {

// Runs `command` when `key` is pressed anywhere in `window`, and names the key in the
// tooltip of `button`.
void AddKey(QWidget* window, QAbstractButton* button, const QKeySequence& key,
            std::function<void()> command) {
    if (button == nullptr) return;
    auto* action = new QAction(window);
    action->setShortcut(key);
    QObject::connect(action, &QAction::triggered, window, std::move(command));
    window->addAction(action);
    button->setToolTip(button->text().trimmed() + QStringLiteral(" (") +
                       key.toString(QKeySequence::NativeText) + QStringLiteral(")"));
}

void AddKey(QWidget* window, QAbstractButton* button, const QKeySequence& key) {
    AddKey(window, button, key, [button] { button->click(); });
}

}  // namespace

void TForm1::BuildShortcuts() {
    ui_->pomocprogramu1->setShortcut(QKeySequence(Qt::Key_F1));
    ui_->zakocz1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    auto button = [](QWidget* tab, const char* name) {
        return tab->findChild<QAbstractButton*>(QLatin1String(name));
    };
    AddKey(this, button(&IndicatorPage(), "SpeedButton10"), Qt::Key_F5);  // START
    AddKey(this, button(&IndicatorPage(), "SpeedButton11"), Qt::Key_F6);  // STOP
    AddKey(this, button(&IndicatorPage(), "SpeedButton12"), Qt::Key_F7);  // PAUSE

    QAbstractButton* saveAs = button(&RegistrationPage(), "BitBtn1");  // "Zapisz Jako..."
    QAbstractButton* save = button(&RegistrationPage(), "BitBtn4");    // "Zapisz"
    AddKey(this, saveAs, Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    // "Zapisz" saves under the last name; before the first save there is none, and the
    // key asks for one as "Zapisz Jako..." does.
    if (saveAs == nullptr) return;
    AddKey(this, save, Qt::CTRL | Qt::Key_S,
           [save, saveAs] { (save->isEnabled() ? save : saveAs)->click(); });
}

}  // namespace kt::ui
