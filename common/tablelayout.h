#pragma once

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

class QHeaderView;
class QTableView;

// Column and row sizes for the tools' tables, and the column layout each kind of
// table keeps between starts.

// Sizes each listed column to fit the widest of its sample texts (the values it will
// show, e.g. a full time stamp) and its header, before any row exists.
void fitColumnsToSamples(QTableView* view, const QVector<QPair<int, QStringList>>& samples);
// Widens a column that text would not fit; never narrows it (the user's width stays).
void widenColumnToText(QTableView* view, int column, const QString& text);
// Rows one text line high: the styles' default section size leaves most rows half empty.
void setRowsToTextHeight(QTableView* view);

// Restores the column layout last remembered under key and keeps it up to date while
// the user resizes or moves columns. Every table of one kind shares one key, so a
// new debug session opens with the columns the user set in the last one.
void rememberHeaderState(QHeaderView* header, const QString& key);
// All remembered layouts, for the window's settings file, and their restoring at start.
QHash<QString, QByteArray> rememberedHeaderStates();
void setRememberedHeaderStates(const QHash<QString, QByteArray>& states);
