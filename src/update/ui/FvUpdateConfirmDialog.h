#pragma once

#include <QDialog>

#include "update/FvAvailableUpdate.h"

// "Software Update" confirmation: where the download is and what happens on OK.
class FvUpdateConfirmDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FvUpdateConfirmDialog(const FvAvailableUpdate &update, QWidget *parent = nullptr);
};
