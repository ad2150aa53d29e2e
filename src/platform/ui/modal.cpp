#include "modal.h"

#include "widgetservices.h"

#include <QDialog>

namespace vt {

static Modal::Handler g_handler;

namespace {

int run(QDialog *dialog)
{
    if (g_handler)
        return g_handler(dialog);
    return dialog->exec();
}

} // namespace

int Modal::exec(QDialog *dialog)
{
    PrepareOverTheProgram(dialog);
    return run(dialog);
}

int Modal::execOver(QDialog *dialog, QWidget *owner)
{
    PrepareOverTheProgram(dialog, owner);
    return run(dialog);
}

void Modal::setHandler(Handler h)
{
    g_handler = std::move(h);
}

} // namespace vt
