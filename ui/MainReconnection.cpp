// Reconnection in the main window: the checkable command "Wznów pomiar po ponownym
// podłączeniu" in the "Program" menu, remembered in "reconnect.ini" beside "config.ini"
// (written at once through the program's one writer, read as a regular file of a sane
// size), and the socket notifier that lets the watch on the lost port's folders wake the
// window when the port comes back.
#include <QAction>
#include <QSocketNotifier>

#include "AtomicFile.h"
#include "Main.h"
#include "ReadRegularFile.h"
#include "ReconnectSetting.h"
#include "ui_Main.h"

namespace kt::ui {

std::string TForm1::ReconnectSettingPath() const {
    return startupDirectory_ + "/" + measurement::kReconnectFileName;
}

void TForm1::BuildReconnection() {
    ReconnectAction = new QAction(QString::fromUtf8("Wznów pomiar po ponownym podłączeniu"), this);
    ReconnectAction->setObjectName(QStringLiteral("ReconnectAction"));
    ReconnectAction->setCheckable(true);
    ui_->Program1->insertAction(ui_->zakocz1, ReconnectAction);
    ui_->Program1->insertSeparator(ui_->zakocz1);

    const measurement::RegularFileRead file =
        measurement::ReadRegularFile(ReconnectSettingPath(), measurement::kMaxReconnectFileBytes);
    bool on = false;
    if (file.ok()) {
        const std::optional<bool> stored = measurement::ParseReconnectSetting(file.bytes);
        if (!stored) core_->Warnings().Warning(ReconnectSettingPath() + ": not understood; off");
        on = stored.value_or(false);
    } else if (file.status != measurement::RegularFileRead::Status::Missing) {
        core_->Warnings().Warning(ReconnectSettingPath() + ": cannot be read (" + file.reason +
                                  "); off");
    }
    ReconnectAction->setChecked(on);
    core_->Reconnector().SetEnabled(on);
    connect(ReconnectAction, &QAction::toggled, this, &TForm1::ReconnectActionClick);
}

void TForm1::ReconnectActionClick(bool checked) {
    core_->Reconnector().SetEnabled(checked);
    const std::string path = ReconnectSettingPath();
    const measurement::FileWriteResult result =
        measurement::WriteFileAtomically(path, measurement::FormatReconnectSetting(checked));
    if (result.ok()) return;
    core_->Warnings().Error(path + ": not written: " + result.reason);
    dialogs_->ShowPlainMessage(measurement::SaveFailureText(path, result.reason));
}

// The watch makes its descriptor when it first watches (after a loss) and keeps it; the
// window follows it with a notifier from then on.
void TForm1::FollowPortWatch() {
    const int fd = core_->Reconnector().WatchFd();
    if (portWatchNotifier_ != nullptr || fd < 0) return;
    portWatchNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(portWatchNotifier_, &QSocketNotifier::activated, this,
            [this] { core_->Reconnector().WatchChanged(); });
}

}  // namespace kt::ui
