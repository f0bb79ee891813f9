#include "app/SettingSelect.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

settingSelect::settingSelect(const QStringList &fileNames, QWidget *parent)
    : QDialog(parent), m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("settingSelect"));
    setWindowTitle(tr("Select a setting file"));
    setModal(true);

    m_list->setObjectName(QStringLiteral("lwSettingFiles"));
    m_list->addItems(fileNames);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    // OK needs a chosen file.
    connect(m_list, &QListWidget::currentRowChanged, this, [buttons](int row) {
        buttons->button(QDialogButtonBox::Ok)->setEnabled(row >= 0);
    });
    buttons->button(QDialogButtonBox::Ok)->setEnabled(m_list->currentRow() >= 0);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Setting files in the data folder:"), this));
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(360, 260);
}

QString settingSelect::selectedFile() const
{
    const QListWidgetItem *item = m_list->currentItem();
    return item ? item->text() : QString();
}
