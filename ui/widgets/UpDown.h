// Up-down arrows tied to an edit box: each arrow steps the number shown in the box by
// one within the limits, writes it back, and then reports the click.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWidget>
class QToolButton;

class UpDown : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int position READ position WRITE setPosition)

public:
    enum class Button { Up, Down };
    Q_ENUM(Button)

    explicit UpDown(QWidget* parent = nullptr);

    // The box whose number the arrows step; it shows the position from now on.
    void setAssociate(QLineEdit* edit);
    QLineEdit* associate() const { return associate_; }

    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int position() const { return position_; }
    void setMinimum(int value);
    void setMaximum(int value);
    void setRange(int minimum, int maximum);
    // Sets the position (kept within the limits) and shows it in the box; no click.
    void setPosition(int value);

    // What an arrow click does: step, show, then emit clicked().
    void click(Button button);

signals:
    void clicked(UpDown::Button button);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int Clamp(int value) const;
    void ShowPosition();

    QToolButton* up_;
    QToolButton* down_;
    QPointer<QLineEdit> associate_;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
};
