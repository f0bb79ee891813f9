#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;

// Lets the user pick one of several environment setting files at start-up.
class settingSelect : public QDialog
{
    Q_OBJECT
public:
    explicit settingSelect(const QStringList &fileNames, QWidget *parent = nullptr);

    // The chosen file name (without folder); empty when nothing is selected.
    QString selectedFile() const;

    QListWidget *list() const { return m_list; }

private:
    QListWidget *m_list;
};
