#include "Com_debugger.h"

#include <QMenu>
#include <QPlainTextEdit>

#include "QtDialogs.h"
#include "ui_Com_debugger.h"

namespace kt::ui {

namespace {

// White bold 12-pixel Courier New (any monospace face where it is missing) on the
// monitor's blue.
void StyleView(QPlainTextEdit* view) {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(12);
    font.setBold(true);
    view->setFont(font);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Base, QColor(4, 153, 225));
    palette.setColor(QPalette::Text, Qt::white);
    view->setPalette(palette);
}

}  // namespace

TCOM_DBG_Form::TCOM_DBG_Form(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TCOM_DBG_Form>()) {
    ui_->setupUi(this);
    MakeToolWindow(this);
    setFixedSize(634, 489);

    QPlainTextEdit* views[4] = {ui_->Memo1, ui_->Memo2, ui_->Memo3, ui_->Memo4};
    QAction* items[4] = {ui_->czy1, ui_->MenuItem1, ui_->MenuItem2, ui_->MenuItem3};
    // Each view's context menu (PopupMenu1..4) holds its single "czyść" item.
    for (int i = 0; i < 4; ++i) {
        StyleView(views[i]);
        QMenu* menu = new QMenu(this);
        menu->setObjectName(QStringLiteral("PopupMenu%1").arg(i + 1));
        menu->addAction(items[i]);
        QPlainTextEdit* view = views[i];
        connect(view, &QWidget::customContextMenuRequested, menu,
                [menu, view](const QPoint& at) { menu->popup(view->mapToGlobal(at)); });
    }
}

TCOM_DBG_Form::~TCOM_DBG_Form() = default;

void TCOM_DBG_Form::AppendFrameLine(const std::string& line) {
    ui_->Memo1->appendPlainText(QString::fromStdString(line));
}

void TCOM_DBG_Form::ClearParameterView() {
    ui_->Memo2->clear();
}

void TCOM_DBG_Form::AppendParameterLine(const std::string& line) {
    ui_->Memo2->appendPlainText(QString::fromStdString(line));
}

}  // namespace kt::ui
