#include "Asystenlaczenia.h"

#include <QAbstractItemView>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

#include "PortList.h"
#include "QtDialogs.h"
#include "ui_Asystenlaczenia.h"
#include "widgets/StepIcons.h"

namespace kt::ui {

using device::StepPicture;
using device::WizardDisplay;

TAsystentForm::TAsystentForm(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TAsystentForm>()) {
    ui_->setupUi(this);
    MakeToolWindow(this);
    setFixedSize(319, 495);
    CentreOnScreen(this);

    // The three state pictures; Image1 is the unused black square.
    ui_->Image1->setPixmap(BlackSquareIcon());
    ui_->Image2->setPixmap(QuestionIcon());
    ui_->Image3->setPixmap(TickIcon());
    ui_->Image4->setPixmap(FailedIcon());
    for (QLabel* image : {ui_->Image1, ui_->Image2, ui_->Image3, ui_->Image4}) image->hide();
    ui_->BitBtn1->setIcon(QIcon(TickIcon()));
    ui_->BitBtn2->setIcon(QIcon(FailedIcon()));
    ui_->BitBtn2->raise();

    for (int line = 1; line <= WizardDisplay::kLines; ++line) {
        icons_[line] = findChild<QLabel*>(QStringLiteral("Image%1").arg(line + 4));
    }
    for (int n = 1; n <= WizardDisplay::kLabels; ++n) {
        if (n != 8) labels_[n] = findChild<QLabel*>(QStringLiteral("Label%1").arg(n));
    }
    PlaceBehind(ui_->Label2, ui_->Label3, 4);
    PlaceBehind(ui_->Label9, ui_->Label10, 0);  // "Hardware: V1.2"
    PlaceBehind(ui_->Label11, ui_->Label12, 0);
    for (int n = 1; n <= WizardDisplay::kLabels; ++n) {
        if (labels_[n] == nullptr) continue;
        ownTexts_[n] = labels_[n]->text();
        ownWidths_[n] = labels_[n]->width();
    }
    ListPorts();

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(50);
    connect(&Timer1, &QTimer::timeout, this, &TAsystentForm::Timer1Timer);
    // Paints the initial display, which also starts Timer1.
    Apply(shown_, true);

    connect(ui_->BitBtn3, &QPushButton::clicked, this, &TAsystentForm::BitBtn3Click);
    connect(ui_->BitBtn2, &QPushButton::clicked, this, &TAsystentForm::BitBtn2Click);
    connect(ui_->BitBtn4, &QPushButton::clicked, this, &TAsystentForm::BitBtn4Click);
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &TAsystentForm::BitBtn1Click);
}

TAsystentForm::~TAsystentForm() {
    if (wizard_) wizard_->SetView(nullptr);
}

void TAsystentForm::AttachWizard(device::ConnectionWizard* wizard) {
    if (wizard_) wizard_->SetView(nullptr);
    wizard_ = wizard;
    if (wizard_) wizard_->SetView(this);
}

// A line's second label ("COM1", the version numbers) continues the first one's text.
void TAsystentForm::PlaceBehind(QLabel* first, QLabel* second, int gap) {
    const int x = first->x() + first->fontMetrics().horizontalAdvance(first->text()) + gap;
    second->move(x, first->y());
    first->resize(x - first->x() + 1, first->height());
}

QPixmap TAsystentForm::Picture(StepPicture picture) const {
    switch (picture) {
        case StepPicture::Tick:
            return ui_->Image3->pixmap();
        case StepPicture::Failed:
            return ui_->Image4->pixmap();
        case StepPicture::Question:
            break;
    }
    return ui_->Image2->pixmap();
}

void TAsystentForm::Render(const WizardDisplay& display) {
    if (display == shown_) return;
    Apply(display, false);
    // The steps run inside timer ticks and a pause; paint now, not at the next event loop.
    if (isVisible()) repaint();
}

// Brings the controls from `shown_` to `display`, touching only what differs (all of
// them when `force`).
void TAsystentForm::Apply(const WizardDisplay& display, bool force) {
    for (int line = 1; line <= WizardDisplay::kLines; ++line) {
        const device::StepIcon& icon = display.icons[line];
        const device::StepIcon& was = shown_.icons[line];
        if (force || icon.picture != was.picture) icons_[line]->setPixmap(Picture(icon.picture));
        if (force || icon.visible != was.visible) icons_[line]->setVisible(icon.visible);
    }
    for (int n = 1; n <= WizardDisplay::kLabels; ++n) {
        if (labels_[n] && (force || display.labelVisible[n] != shown_.labelVisible[n])) {
            labels_[n]->setVisible(display.labelVisible[n]);
        }
    }
    auto setText = [force](QLabel* label, const std::string& text, const std::string& was) {
        if (force || text != was) label->setText(QString::fromStdString(text));
    };
    setText(ui_->Label3, display.portLabel, shown_.portLabel);
    const bool noteMoved = display.noAnswerLabel != shown_.noAnswerLabel ||
                           display.noAnswerPort != shown_.noAnswerPort;
    if (force || noteMoved || display.hardwareLabel != shown_.hardwareLabel) {
        ShowLabelText(10, display);
    }
    if (force || noteMoved || display.softwareLabel != shown_.softwareLabel) {
        ShowLabelText(12, display);
    }
    if (noteMoved) {
        for (int n : {shown_.noAnswerLabel, display.noAnswerLabel}) {
            if (n != 10 && n != 12) ShowLabelText(n, display);
        }
    }
    if (force || display.progress != shown_.progress) ui_->ProgressBar1->setValue(display.progress);
    if (force || display.connectEnabled != shown_.connectEnabled) {
        ui_->BitBtn3->setEnabled(display.connectEnabled);
    }
    if (force || display.disconnectEnabled != shown_.disconnectEnabled) {
        ui_->BitBtn4->setEnabled(display.disconnectEnabled);
    }
    if (force || display.abortVisible != shown_.abortVisible) {
        ui_->BitBtn2->setVisible(display.abortVisible);
    }
    if (force || display.timerEnabled != shown_.timerEnabled) {
        if (display.timerEnabled) {
            Timer1.start();
        } else {
            Timer1.stop();
        }
    }
    shown_ = display;
}

namespace {

// "caption – brak odpowiedzi (port)" in `width` pixels: the words "brak odpowiedzi" stay
// whole; the caption gives up room first (down to a third of the line), then the port's
// name is cut in its middle.
QString NoAnswerLine(const QFontMetrics& metrics, const QString& caption, const QString& port,
                     int width) {
    const QString words = QStringLiteral(" – ") + QString::fromUtf8(device::kNoAnswerText);
    const QString whole = caption + words + QStringLiteral(" (") + port + QStringLiteral(")");
    if (metrics.horizontalAdvance(whole) <= width) return whole;
    const int tail = metrics.horizontalAdvance(whole) - metrics.horizontalAdvance(caption);
    const QString shortCaption =
        metrics.elidedText(caption, Qt::ElideRight, std::max(width - tail, width / 3));
    const int portRoom = width - metrics.horizontalAdvance(shortCaption + words + " ()");
    return shortCaption + words + QStringLiteral(" (") +
           metrics.elidedText(port, Qt::ElideMiddle, portRoom) + QStringLiteral(")");
}

}  // namespace

// A label's text: its own (the version texts come from the display), or on the line of a
// step that nothing answered that text with the words and the port. That line then
// reaches to the group's edge, and shows its whole text as the tooltip.
void TAsystentForm::ShowLabelText(int n, const WizardDisplay& display) {
    if (n <= 0 || n > WizardDisplay::kLabels || labels_[n] == nullptr) return;
    QLabel* label = labels_[n];
    const QString text = n == 10   ? QString::fromStdString(display.hardwareLabel)
                         : n == 12 ? QString::fromStdString(display.softwareLabel)
                                   : ownTexts_[n];
    if (n != display.noAnswerLabel) {
        label->resize(ownWidths_[n], label->height());
        label->setToolTip(QString());
        label->setText(text);
        return;
    }
    constexpr int kEdgeGap = 4;
    label->resize(label->parentWidget()->width() - label->x() - kEdgeGap, label->height());
    const QString port = QString::fromStdString(display.noAnswerPort);
    label->setToolTip(NoAnswerLine(label->fontMetrics(), text, port, INT_MAX));
    label->setText(NoAnswerLine(label->fontMetrics(), text, port, label->contentsRect().width()));
}

void TAsystentForm::SetPortText(const std::string& name) {
    QComboBox* box = ui_->ComboBox1;
    const QString text = QString::fromStdString(name);
    const int index = box->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index >= 0) box->setCurrentIndex(index);
    box->setEditText(text);
}

void TAsystentForm::SetPortRoot(const std::string& root) {
    portRoot_ = root;
    ListPorts();
}

void TAsystentForm::showEvent(QShowEvent* event) {
    ListPorts();
    QDialog::showEvent(event);
}

// The ports present now, in name order after "COM1", which stays first and the default;
// the text in the box is kept.
void TAsystentForm::ListPorts() {
    QComboBox* box = ui_->ComboBox1;
    const QString text = box->currentText();
    for (; listedPorts_ > 0; --listedPorts_) box->removeItem(1);
    for (const std::string& name : device::ListSerialPorts(portRoot_)) {
        box->insertItem(++listedPorts_, QString::fromStdString(name));
    }
    SetPortText(text.toStdString());
    // The open list is wide enough for the long names (the adapters under
    // /dev/serial/by-id), the box itself keeps its width.
    QAbstractItemView* list = box->view();
    int widest = 0;
    for (int i = 0; i < box->count(); ++i) {
        widest = std::max(widest, list->fontMetrics().horizontalAdvance(box->itemText(i)));
    }
    constexpr int kItemMargins = 24;
    list->setMinimumWidth(widest + kItemMargins + list->verticalScrollBar()->sizeHint().width());
}

std::string TAsystentForm::PortText() const {
    return ui_->ComboBox1->currentText().toStdString();
}

void TAsystentForm::Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void TAsystentForm::BitBtn3Click() {
    if (wizard_) wizard_->Connect();
}

void TAsystentForm::BitBtn2Click() {
    if (wizard_) wizard_->Abort();
}

void TAsystentForm::BitBtn4Click() {
    if (wizard_) wizard_->Disconnect();
}

void TAsystentForm::BitBtn1Click() {
    close();
}

void TAsystentForm::Timer1Timer() {
    if (wizard_) wizard_->Tick();
}

}  // namespace kt::ui
