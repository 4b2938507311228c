#include "CommandEditor.h"
#include "ui_CommandEditor.h"

#include "CommandScript.h"

#include <QFontDatabase>
#include <QPushButton>

CommandEditor::CommandEditor(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_CommandEditor)
{
    ui->setupUi(this);
    ui->command_script->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Room for a few dozen lines of script, from the font rather than fixed pixels.
    const QFontMetrics fm(ui->command_script->font());
    ui->command_script->setMinimumSize(fm.horizontalAdvance(QLatin1Char('x')) * 50, fm.lineSpacing() * 12);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ui->command_name, &QLineEdit::textChanged, this, &CommandEditor::check);
    connect(ui->command_script, &QPlainTextEdit::textChanged, this, &CommandEditor::check);
    check();
}

CommandEditor::~CommandEditor()
{
    delete ui;
}

void CommandEditor::setCommand(const QString& name, const QString& script)
{
    ui->command_name->setText(name);
    ui->command_script->setPlainText(script);
}

QString CommandEditor::name() const
{
    return ui->command_name->text().trimmed();
}

QString CommandEditor::script() const
{
    return ui->command_script->toPlainText();
}

void CommandEditor::check()
{
    CommandScript parsed;
    const bool scriptOk = parsed.parse(script());
    QString text;
    if (!scriptOk)
        text = parsed.errorMessage();
    else if (name().isEmpty())
        text = tr("Give the command a name.");
    else if (parsed.steps().isEmpty())
        text = tr("The script has no steps yet.");
    else
        text = tr("The script is correct.");
    ui->command_check->setText(text);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(scriptOk && !name().isEmpty());
}
