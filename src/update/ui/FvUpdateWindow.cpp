#include "update/ui/FvUpdateWindow.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "update/FvUpdater.h"

namespace {

// A browser that shows only the text it is given: images, style sheets and other resources
// named by the notes are not fetched from anywhere.
class NotesBrowser : public QTextBrowser
{
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int, const QUrl &) override { return QVariant(); }
};

} // namespace

FvUpdateWindow::FvUpdateWindow(const FvAvailableUpdate &update, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FvUpdateWindow"));
    setWindowTitle(tr("Software Update"));
    setAttribute(Qt::WA_DeleteOnClose);
    const QString app = QCoreApplication::applicationName();

    auto *heading = new QLabel(QStringLiteral("<b>%1</b>").arg(tr("A new version of %1 is available!").arg(app).toHtmlEscaped()), this);
    heading->setObjectName(QStringLiteral("newVersionIsAvailableLabel"));
    auto *text = new QLabel(tr("%1 %2 is now available - you have %3. Would you like to download it now?")
                                .arg(app, update.enclosureVersion, QCoreApplication::applicationVersion()),
                            this);
    text->setObjectName(QStringLiteral("wouldYouLikeToDownloadLabel"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);

    auto *group = new QGroupBox(tr("Release Notes:"), this);
    m_notes = new NotesBrowser(group);
    m_notes->setObjectName(QStringLiteral("releaseNotesWebView"));
    m_notes->setOpenLinks(false);
    m_notes->setOpenExternalLinks(false);
    // A click (and only a click) hands a web link to the browser.
    connect(m_notes, &QTextBrowser::anchorClicked, this, [](const QUrl &url) {
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
            QDesktopServices::openUrl(url);
    });
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_notes);

    auto *skip = new QPushButton(tr("Skip This Version"), this);
    skip->setObjectName(QStringLiteral("skipThisVersionButton"));
    auto *later = new QPushButton(tr("Remind Me Later"), this);
    later->setObjectName(QStringLiteral("remindMeLaterButton"));
    auto *install = new QPushButton(tr("Install Update"), this);
    install->setObjectName(QStringLiteral("installUpdateButton"));
    install->setDefault(true);
    connect(skip, &QPushButton::clicked, this, &FvUpdateWindow::skipClicked);
    connect(later, &QPushButton::clicked, this, &FvUpdateWindow::remindLaterClicked);
    connect(install, &QPushButton::clicked, this, &FvUpdateWindow::installClicked);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(skip);
    buttons->addStretch(1);
    buttons->addWidget(later);
    buttons->addWidget(install);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(text);
    layout->addWidget(group, 1);
    layout->addLayout(buttons);
    resize(640, 480);

    fetchReleaseNotes(update.releaseNotesLink);
}

void FvUpdateWindow::fetchReleaseNotes(const QUrl &url)
{
    m_notes->setPlainText(tr("Loading the release notes..."));
    FvUpdater::sharedUpdater()->fetchBounded(url, this, [this](const QByteArray &body, const QString &error) {
        if (!error.isEmpty())
            m_notes->setPlainText(tr("The release notes could not be loaded: %1").arg(error));
        else
            m_notes->setHtml(QString::fromUtf8(body));
    });
}
