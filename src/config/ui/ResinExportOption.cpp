#include "config/ui/ResinExportOption.h"

#include "ui_ResinExportOption.h"

ResinExportOption::ResinExportOption(QWidget *parent)
    : QDialog(parent), ui(new Ui::ResinExportOption)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ResinExportOption::~ResinExportOption()
{
    delete ui;
}

QString ResinExportOption::note() const
{
    return ui->inpNote->text();
}

void ResinExportOption::on_buttonBox_accepted()
{
    accept();
}

void ResinExportOption::on_rbOnlyShown_clicked()
{
    m_selection = ProfileExportSelection::OnlyShown;
}

void ResinExportOption::on_rbOnlyResin_clicked()
{
    m_selection = ProfileExportSelection::OnlyResin;
}

void ResinExportOption::on_rbAll_clicked()
{
    m_selection = ProfileExportSelection::All;
}
