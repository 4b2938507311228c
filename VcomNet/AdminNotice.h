#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

// Shown on the VCOM page to an ordinary user: virtual ports under /dev need root, and the
// button restarts the program through pkexec.
class AdminNotice : public QFrame
{
    Q_OBJECT
public:
    explicit AdminNotice(QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void restart();

    QLabel* text = nullptr;
    QPushButton* restartButton = nullptr;
};
