#include "modal.h"

#include <QDialog>

namespace vt {

static Modal::Handler g_handler;

int Modal::exec(QDialog *dialog)
{
    if (g_handler)
        return g_handler(dialog);
    return dialog->exec();
}

void Modal::setHandler(Handler h)
{
    g_handler = std::move(h);
}

} // namespace vt
