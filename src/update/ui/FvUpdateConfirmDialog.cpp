#include "update/ui/FvUpdateConfirmDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

FvUpdateConfirmDialog::FvUpdateConfirmDialog(const FvAvailableUpdate &update, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FvUpdateConfirmDialog"));
    setWindowTitle(tr("Software Update"));
    setAttribute(Qt::WA_DeleteOnClose);
    const QString app = QCoreApplication::applicationName();
    const QString url = update.enclosureUrl.toString().toHtmlEscaped();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("The update file is located at:"), this));
    auto *link = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(url), this);
    link->setObjectName(QStringLiteral("updateFileLinkLabel"));
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    link->setOpenExternalLinks(false);
    layout->addWidget(link);
    auto *steps = new QLabel(tr("Download this update, close \"%1\", install it, and then reopen \"%1\".").arg(app), this);
    steps->setTextFormat(Qt::PlainText);
    steps->setWordWrap(true);
    layout->addWidget(steps);
    layout->addWidget(new QLabel(tr("When you click \"OK\", this link will be opened in your browser."), this));
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->setObjectName(QStringLiteral("confirmButtonBox"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(box);
}
