#pragma once

#include <QDialog>

class Ui_CommandEditor;

// Edits one saved command: its name and script, with the script checked as it is typed.
// OK is offered only for a named command whose script parses.
class CommandEditor : public QDialog
{
    Q_OBJECT
public:
    explicit CommandEditor(QWidget* parent = nullptr);
    ~CommandEditor() override;

    void setCommand(const QString& name, const QString& script);
    QString name() const;
    QString script() const;

private:
    void check();

    Ui_CommandEditor* ui = nullptr;
};
