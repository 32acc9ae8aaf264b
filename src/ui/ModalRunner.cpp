#include "ui/ModalRunner.h"

#include "ui/WindowFocus.h"

#include <QDialog>

int ExecModalRunner::run(QDialog& dialog)
{
    const int result = dialog.exec();
    returnFocusTo(dialog.parentWidget());
    return result;
}
