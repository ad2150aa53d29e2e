#include "modal.h"

#include "widgetservices.h"

#include <QDialog>

namespace vt {

static Modal::Handler g_handler;

int Modal::exec(QDialog *dialog)
{
    if (g_handler)
        return g_handler(dialog);
    return dialog->exec();
}

int Modal::execOver(QDialog *dialog, QWidget *owner)
{
    QWidget *parent = DialogParent(owner);
    if (parent && dialog->parentWidget() != parent) {
        const Qt::WindowFlags flags = dialog->windowFlags();
        dialog->setParent(parent, flags);
    }
    KeepOnTopOfTheProgram(dialog);
    return exec(dialog);
}

void Modal::setHandler(Handler h)
{
    g_handler = std::move(h);
}

} // namespace vt
