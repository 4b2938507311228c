#pragma once

#include <QFrame>

class AdminRestart;
class QLabel;
class QPushButton;

// Shown on the VCOM page to an ordinary user: virtual ports under /dev need root, and the
// button restarts the program through pkexec. This instance ends only once the new one
// has started; otherwise it says why not and stays.
class AdminNotice : public QFrame
{
    Q_OBJECT
public:
    explicit AdminNotice(QWidget* parent = nullptr);

    // The text of a virtual port refused for lack of rights, after its first line.
    static QString rightsText();

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void restart();

    QLabel* text = nullptr;
    QPushButton* restartButton = nullptr;
    AdminRestart* restarter = nullptr;
};
