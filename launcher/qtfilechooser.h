#pragma once
// The platform's file-open dialog behind the launcher's FileChooser.
#include <QWidget>

#include "launcher/filechooser.h"

class QtFileChooser : public orv::launcher::FileChooser {
public:
    void setParentWidget(QWidget* parent) { parent_ = parent; }
    std::string chooseFile(const orv::launcher::FileDialogRequest& request) override;

private:
    QWidget* parent_ = nullptr;
};
