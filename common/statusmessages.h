#pragma once

#include <QObject>
#include <QString>

// The tools' way to the window's status bar: a tool posts a short message about a
// result that would otherwise stay invisible (a file written, a connection removed),
// the window shows it for a few seconds. Tools do not know the window.
class StatusMessages : public QObject
{
    Q_OBJECT
public:
    static constexpr int timeoutMs = 5000;

    static StatusMessages* instance();
    static void post(const QString& text);

signals:
    void message(const QString& text, int timeoutMs);

private:
    using QObject::QObject;
};
