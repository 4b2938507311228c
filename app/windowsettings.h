#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QRect>
#include <QString>

// What the window remembers between starts, in the [window] group of system.ini:
// its geometry and dock layout, the tool last shown and each kind of table's columns.
struct WindowSettings
{
    QByteArray geometry; // QWidget::saveGeometry
    QByteArray state;    // QMainWindow::saveState
    int tool = -1;       // tool box index; -1 when none is stored
    QHash<QString, QByteArray> columns; // QHeaderView::saveState by table kind

    static WindowSettings read(const QString& iniPath);
    bool write(const QString& iniPath) const;
};

// True when the frame stored in a saveGeometry blob has its title bar on one of the
// screens, so that the user can still reach the window; false for a blob it cannot read.
bool geometryOnScreens(const QByteArray& geometry, const QList<QRect>& screens);

// The frame, the client rectangle inside it and whether the window was maximized or
// full screen, as stored in a saveGeometry blob; false for a blob it cannot read.
bool storedWindowFrame(const QByteArray& geometry, QRect* frame, QRect* client, bool* maximized);
// Where a window stored with client inside frame goes so that its frame fits in
// available: unchanged when it fits, else shrunk to the area and moved into it.
QRect fitIntoArea(const QRect& frame, const QRect& client, const QRect& available);
